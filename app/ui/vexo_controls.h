// The wizard's three custom controls: a picture with a highlighted variant (the step
// indicators), a slider that reports losing the focus (the level slider), and a memo that
// behaves like a multi-line label (the instruction texts).
#pragma once

#include <QLabel>
#include <QPixmap>
#include <QPlainTextEdit>
#include <QSlider>
#include <QString>

namespace qm {

enum class TVexoMediaImageMode { imRevert, imToggle, imDefault };

// Shows its normal picture, or the highlighted one on request. The mouse-driven behaviour of
// the original control (hover, toggling, linked images) is not used by the wizard.
class TVexoMediaImage : public QLabel {
    Q_OBJECT
public:
    explicit TVexoMediaImage(QWidget* parent = nullptr);

    // The picture ShowNormal restores; also shown at once.
    void SetNormalPicture(const QPixmap& picture);
    void SetMouseOverPicture(const QPixmap& picture) { MouseOverPicture = picture; }

    void SetImageMode(TVexoMediaImageMode mode) { ImageMode = mode; }
    TVexoMediaImageMode Mode() const { return ImageMode; }

    void ShowNormal();
    // Keeps the current picture when no highlighted one was given.
    void ShowHighlighted();
    bool IsHighlighted() const { return Highlighted; }

protected:
    // Drawn as it is even while disabled: the step indicators are disabled so the mouse leaves
    // them alone, not to look greyed.
    void paintEvent(QPaintEvent* event) override;

private:
    QPixmap NormalPicture;
    QPixmap MouseOverPicture;
    TVexoMediaImageMode ImageMode = TVexoMediaImageMode::imDefault;
    bool Highlighted = false;
};

// A horizontal slider; Qt's slider draws no selection band, so only the focus report is added.
class TVexoTrackBar : public QSlider {
    Q_OBJECT
public:
    explicit TVexoTrackBar(QWidget* parent = nullptr);

signals:
    void Exited();

protected:
    void focusOutEvent(QFocusEvent* event) override;
};

// A read-only text that cannot be clicked into, selected or given a context menu; the arrow
// cursor stays over it. Lines are the memo's paragraphs.
class TQulMerMemoCtrl : public QPlainTextEdit {
    Q_OBJECT
public:
    explicit TQulMerMemoCtrl(QWidget* parent = nullptr);

    void ClearLines() { clear(); }
    void AddLine(const QString& line) { appendPlainText(line); }
    // Replaces the line at `index`, adding empty lines up to it when the memo is shorter.
    void SetLine(int index, const QString& line);
    // Each "\n\r" (or lone line break) of `text` starts a new line.
    void SetLinesFromText(const QString& text);
    QStringList Lines() const;
    // Keeps the height at what the lines need at the current width (an instruction text that
    // a larger font wraps once more grows instead of losing its end).
    void SetHeightFollowsText(bool follows);

protected:
    bool viewportEvent(QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    void FitHeightToText();

    bool HeightFollowsText = false;
};

} // namespace qm
