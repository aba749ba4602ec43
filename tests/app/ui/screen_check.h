// Pictures of windows for review (written to QM_SCREENS_DIR, build/screens under ctest) and the
// check that no fixed text is cut short at its window's fixed size.
#pragma once

#include <QAbstractButton>
#include <QDir>
#include <QGroupBox>
#include <QLabel>
#include <QStringList>
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

// Visible labels, buttons and group titles whose text needs more room than they have.
inline QStringList ClippedTexts(QWidget* root) {
    QStringList clipped;
    for (auto* label : root->findChildren<QLabel*>()) {
        if (!label->isVisibleTo(root) || label->wordWrap() || label->text().isEmpty()) continue;
        const int needed = label->fontMetrics().size(0, label->text()).width();
        if (needed > label->contentsRect().width())
            clipped.append(label->objectName() + ": " + label->text());
        if (!root->rect().contains(QRect(label->mapTo(root, QPoint()), label->size())))
            clipped.append(label->objectName() + " outside the window");
    }
    for (auto* button : root->findChildren<QAbstractButton*>())
        if (button->isVisibleTo(root) && button->width() < button->sizeHint().width())
            clipped.append(button->objectName() + ": " + button->text());
    for (auto* group : root->findChildren<QGroupBox*>()) {
        if (!group->isVisibleTo(root)) continue;
        const int needed = group->fontMetrics().horizontalAdvance(group->title()) + 24;
        if (needed > group->width()) clipped.append(group->objectName() + ": " + group->title());
    }
    return clipped;
}

} // namespace qm::test
