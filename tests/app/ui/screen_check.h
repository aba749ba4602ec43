// Pictures of windows for review (written to QM_SCREENS_DIR, build/screens under ctest), the
// check that no fixed text is cut short at its window's fixed size, and the application font
// scaled as a user's larger desktop font would be.
#pragma once

#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QStringList>
#include <QStyle>
#include <QStyleOptionFrame>
#include <QTreeView>
#include <QWidget>

#include <gtest/gtest.h>

namespace qm::test {

inline QString ScreensFolder() {
    const QString folder = qEnvironmentVariable("QM_SCREENS_DIR", QDir::tempPath() + "/screens");
    QDir().mkpath(folder);
    return folder;
}

inline void Save(QWidget* widget, const QString& name) {
    const QString file = ScreensFolder() + "/" + name + ".png";
    EXPECT_TRUE(widget->grab().save(file)) << file.toStdString();
}

// Visible labels (wrapped ones by their height), buttons, group titles, edits and memos without
// a scroll bar whose text needs more room than they have.
inline QStringList ClippedTexts(QWidget* root) {
    QStringList clipped;
    for (auto* label : root->findChildren<QLabel*>()) {
        if (!label->isVisibleTo(root) || label->text().isEmpty()) continue;
        if (label->wordWrap()) {
            if (label->heightForWidth(label->width()) > label->height())
                clipped.append(label->objectName() + " (wrapped): " + label->text());
        } else if (label->fontMetrics().size(0, label->text()).width() >
                   label->contentsRect().width()) {
            clipped.append(label->objectName() + ": " + label->text());
        }
        if (!root->rect().contains(QRect(label->mapTo(root, QPoint()), label->size())))
            clipped.append(label->objectName() + " outside the window");
    }
    for (auto* edit : root->findChildren<QLineEdit*>()) {
        if (!edit->isVisibleTo(root) || edit->text().isEmpty()) continue;
        QStyleOptionFrame option;
        option.initFrom(edit);
        option.lineWidth = edit->hasFrame() ? 1 : 0;
        const int room =
            edit->style()->subElementRect(QStyle::SE_LineEditContents, &option, edit).width() -
            2 * 2; // the edit's own margin on each side
        if (edit->fontMetrics().horizontalAdvance(edit->text()) > room)
            clipped.append(edit->objectName() + ": " + edit->text());
    }
    for (auto* memo : root->findChildren<QPlainTextEdit*>()) {
        if (!memo->isVisibleTo(root) || memo->verticalScrollBarPolicy() != Qt::ScrollBarAlwaysOff)
            continue;
        if (memo->verticalScrollBar()->maximum() > 0)
            clipped.append(memo->objectName() + ": " + memo->toPlainText());
    }
    for (auto* button : root->findChildren<QAbstractButton*>())
        if (button->isVisibleTo(root) && button->width() < button->sizeHint().width())
            clipped.append(button->objectName() + ": " + button->text());
    for (auto* group : root->findChildren<QGroupBox*>()) {
        if (!group->isVisibleTo(root)) continue;
        const int needed = group->fontMetrics().horizontalAdvance(group->title()) + 24;
        if (needed > group->width()) clipped.append(group->objectName() + ": " + group->title());
    }
    // Column headings; the last column stretches to whatever is left.
    for (auto* list : root->findChildren<QTreeView*>()) {
        if (!list->isVisibleTo(root)) continue;
        const QHeaderView* columns = list->header();
        const int margins =
            2 * columns->style()->pixelMetric(QStyle::PM_HeaderMargin, nullptr, columns);
        for (int column = 0; column + 1 < columns->count(); ++column) {
            const QString heading = list->model()->headerData(column, Qt::Horizontal).toString();
            if (columns->sectionSize(column) <
                columns->fontMetrics().horizontalAdvance(heading) + margins)
                clipped.append(list->objectName() + " heading: " + heading);
        }
    }
    return clipped;
}

// The application's font scaled by `factor` while alive; windows made meanwhile take it.
class TScaledFont {
public:
    explicit TScaledFont(double factor) : Saved(QApplication::font()) {
        QFont scaled = Saved;
        scaled.setPointSizeF(Saved.pointSizeF() * factor);
        QApplication::setFont(scaled);
    }
    ~TScaledFont() { QApplication::setFont(Saved); }
    TScaledFont(const TScaledFont&) = delete;
    TScaledFont& operator=(const TScaledFont&) = delete;

private:
    QFont Saved;
};

} // namespace qm::test
