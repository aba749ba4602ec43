// The custom controls of the wizard.
#include "app/ui/vexo_controls.h"

#include <QAbstractTextDocumentLayout>
#include <QContextMenuEvent>
#include <QEvent>
#include <QFocusEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QResizeEvent>
#include <QTextBlock>

#include <algorithm>
#include <cmath>

namespace qm {

TVexoMediaImage::TVexoMediaImage(QWidget* parent) : QLabel(parent) {
    setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
}

void TVexoMediaImage::SetNormalPicture(const QPixmap& picture) {
    NormalPicture = picture;
    ShowNormal();
}

void TVexoMediaImage::ShowNormal() {
    setPixmap(NormalPicture);
    Highlighted = false;
}

void TVexoMediaImage::ShowHighlighted() {
    if (MouseOverPicture.isNull()) return;
    setPixmap(MouseOverPicture);
    Highlighted = true;
}

void TVexoMediaImage::paintEvent(QPaintEvent*) {
    const QPixmap shown = pixmap();
    if (shown.isNull()) return;
    QPainter painter(this);
    const QSize size = shown.deviceIndependentSize().toSize();
    const QRect area = contentsRect();
    painter.drawPixmap(QPoint(area.left(), area.top() + (area.height() - size.height()) / 2),
                       shown);
}

TVexoTrackBar::TVexoTrackBar(QWidget* parent) : QSlider(Qt::Horizontal, parent) {
    setTickPosition(QSlider::NoTicks);
}

void TVexoTrackBar::focusOutEvent(QFocusEvent* event) {
    QSlider::focusOutEvent(event);
    emit Exited();
}

TQulMerMemoCtrl::TQulMerMemoCtrl(QWidget* parent) : QPlainTextEdit(parent) {
    setReadOnly(true);
    setFocusPolicy(Qt::NoFocus);
    setTextInteractionFlags(Qt::NoTextInteraction);
    setContextMenuPolicy(Qt::NoContextMenu);
    setFrameShape(QFrame::NoFrame);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setLineWrapMode(QPlainTextEdit::WidgetWidth);
    document()->setDocumentMargin(1);
    viewport()->setCursor(Qt::ArrowCursor);
    viewport()->setAutoFillBackground(false);
    setStyleSheet("QPlainTextEdit { background: transparent; }");
}

void TQulMerMemoCtrl::SetHeightFollowsText(bool follows) {
    HeightFollowsText = follows;
    if (follows) {
        connect(document(), &QTextDocument::contentsChanged, this,
                &TQulMerMemoCtrl::FitHeightToText, Qt::UniqueConnection);
        FitHeightToText();
    }
}

void TQulMerMemoCtrl::FitHeightToText() {
    if (!HeightFollowsText) return;
    const QAbstractTextDocumentLayout* layout = document()->documentLayout();
    qreal height = 0;
    for (QTextBlock block = document()->begin(); block.isValid(); block = block.next())
        height += layout->blockBoundingRect(block).height();
    // At least the one line an empty memo shows.
    height =
        std::max(height, qreal(fontMetrics().lineSpacing()) + 2 * document()->documentMargin());
    setFixedHeight(static_cast<int>(std::ceil(height)) + 2 * frameWidth() +
                   contentsMargins().top() + contentsMargins().bottom() + 2);
}

void TQulMerMemoCtrl::resizeEvent(QResizeEvent* event) {
    QPlainTextEdit::resizeEvent(event);
    // The new width wraps the lines anew.
    if (event->oldSize().width() != event->size().width()) FitHeightToText();
}

void TQulMerMemoCtrl::SetLine(int index, const QString& line) {
    QStringList lines = Lines();
    while (lines.size() <= index)
        lines.append(QString());
    lines[index] = line;
    setPlainText(lines.join('\n'));
}

void TQulMerMemoCtrl::SetLinesFromText(const QString& text) {
    QString lines = text;
    lines.replace(QStringLiteral("\n\r"), QStringLiteral("\n"));
    lines.remove('\r');
    setPlainText(lines);
}

QStringList TQulMerMemoCtrl::Lines() const {
    QStringList lines;
    if (document()->isEmpty()) return lines;
    for (QTextBlock block = document()->begin(); block.isValid(); block = block.next())
        lines.append(block.text());
    return lines;
}

bool TQulMerMemoCtrl::viewportEvent(QEvent* event) {
    switch (event->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::ContextMenu:
        event->accept();
        return true;
    default:
        return QPlainTextEdit::viewportEvent(event);
    }
}

void TQulMerMemoCtrl::mousePressEvent(QMouseEvent* event) {
    event->accept();
}
void TQulMerMemoCtrl::mouseReleaseEvent(QMouseEvent* event) {
    event->accept();
}
void TQulMerMemoCtrl::mouseDoubleClickEvent(QMouseEvent* event) {
    event->accept();
}
void TQulMerMemoCtrl::contextMenuEvent(QContextMenuEvent* event) {
    event->accept();
}

} // namespace qm
