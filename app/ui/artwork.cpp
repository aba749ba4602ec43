// Artwork of the wizard. Everything is vector drawing with antialiasing into pixmaps of the
// screen's device pixel ratio, so no bitmap is scaled.
#include "app/ui/artwork.h"

#include <QFont>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>

namespace qm {
namespace {

const QColor Accent(37, 99, 175);
const QColor AccentLight(92, 150, 222);
const QColor Muted(150, 156, 166);
const QColor Ink(40, 44, 52);

QPixmap Canvas(int width, int height) {
    const qreal ratio = qGuiApp ? qGuiApp->devicePixelRatio() : 1.0;
    QPixmap pixmap(QSize(width, height) * ratio);
    pixmap.setDevicePixelRatio(ratio);
    pixmap.fill(Qt::transparent);
    return pixmap;
}

// A round badge holding a quill whose shaft ends in a sound wave.
void DrawMark(QPainter& painter, const QRectF& box) {
    painter.save();
    painter.translate(box.topLeft());
    const qreal s = box.width();
    QLinearGradient fill(0, 0, s, s);
    fill.setColorAt(0, AccentLight);
    fill.setColorAt(1, Accent);
    painter.setPen(Qt::NoPen);
    painter.setBrush(fill);
    painter.drawEllipse(QRectF(0, 0, s, s));

    // Feather: two arcs meeting at the tip.
    QPainterPath feather;
    feather.moveTo(0.30 * s, 0.74 * s);
    feather.cubicTo(0.34 * s, 0.42 * s, 0.52 * s, 0.22 * s, 0.78 * s, 0.18 * s);
    feather.cubicTo(0.74 * s, 0.42 * s, 0.56 * s, 0.62 * s, 0.30 * s, 0.74 * s);
    painter.setBrush(QColor(255, 255, 255, 235));
    painter.drawPath(feather);
    painter.setPen(QPen(Accent, s * 0.025, Qt::SolidLine, Qt::RoundCap));
    painter.drawLine(QPointF(0.33 * s, 0.70 * s), QPointF(0.72 * s, 0.24 * s));

    // Sound wave from the nib.
    QPainterPath wave;
    wave.moveTo(0.16 * s, 0.80 * s);
    for (int i = 0; i < 4; ++i) {
        const qreal x = 0.16 * s + i * 0.12 * s;
        const qreal amplitude = (i % 2 == 0 ? -1 : 1) * 0.07 * s;
        wave.quadTo(x + 0.06 * s, 0.80 * s + amplitude, x + 0.12 * s, 0.80 * s);
    }
    painter.setBrush(Qt::NoBrush);
    painter.setPen(QPen(Qt::white, s * 0.04, Qt::SolidLine, Qt::RoundCap));
    painter.drawPath(wave);
    painter.restore();
}

} // namespace

QPixmap QuillmereMark(int size) {
    QPixmap pixmap = Canvas(size, size);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    DrawMark(painter, QRectF(1, 1, size - 2, size - 2));
    return pixmap;
}

QIcon QuillmereIcon() {
    QIcon icon;
    for (int size : {16, 24, 32, 48, 64, 128})
        icon.addPixmap(QuillmereMark(size));
    return icon;
}

QPixmap QuillmereLogo(int width, int height) {
    QPixmap pixmap = Canvas(width, height);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);
    const int mark = std::min(56, height - 44);
    DrawMark(painter, QRectF((width - mark) / 2.0, 4, mark, mark));

    QFont name = painter.font();
    name.setBold(true);
    name.setPointSizeF(name.pointSizeF() * 1.7);
    painter.setFont(name);
    painter.setPen(Accent);
    const QRect nameBox(0, mark + 8, width, QFontMetrics(name).height());
    painter.drawText(nameBox, Qt::AlignHCenter | Qt::AlignTop, QStringLiteral("Quillmere"));

    QFont kind = painter.font();
    kind.setBold(false);
    kind.setPointSizeF(QFont().pointSizeF() * 0.9);
    painter.setFont(kind);
    painter.setPen(Muted);
    painter.drawText(QRect(0, nameBox.bottom() + 1, width, QFontMetrics(kind).height()),
                     Qt::AlignHCenter | Qt::AlignTop, QStringLiteral("audio-file converter"));
    return pixmap;
}

QPixmap StepIndicator(int number, const QString& title, bool highlighted) {
    QPixmap pixmap = Canvas(StepIndicatorWidth, StepIndicatorHeight);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);
    const QRectF all(0.5, 0.5, StepIndicatorWidth - 1, StepIndicatorHeight - 1);
    if (highlighted) {
        painter.setPen(QPen(QColor(200, 218, 240), 1));
        painter.setBrush(QColor(232, 241, 252));
        painter.drawRoundedRect(all, 6, 6);
        painter.setPen(Qt::NoPen);
        painter.setBrush(Accent);
        painter.drawRoundedRect(QRectF(0, 6, 4, StepIndicatorHeight - 12), 2, 2);
    }
    const qreal diameter = 30;
    const QRectF circle(12, (StepIndicatorHeight - diameter) / 2, diameter, diameter);
    painter.setPen(QPen(highlighted ? Accent : Muted, 2));
    painter.setBrush(highlighted ? QBrush(Accent) : QBrush(Qt::white));
    painter.drawEllipse(circle);

    QFont numberFont = painter.font();
    numberFont.setBold(true);
    numberFont.setPointSizeF(QFont().pointSizeF() * 1.15);
    painter.setFont(numberFont);
    painter.setPen(highlighted ? Qt::white : Muted);
    painter.drawText(circle, Qt::AlignCenter, QString::number(number));

    QFont stepFont = QFont();
    stepFont.setPointSizeF(stepFont.pointSizeF() * 0.85);
    stepFont.setBold(highlighted);
    const QFontMetrics stepMetrics(stepFont);
    const int textLeft = 52;
    const int textWidth = StepIndicatorWidth - textLeft - 4;
    // The bold title of the highlighted step is narrowed to fit rather than cut.
    QFont titleFont = QFont();
    titleFont.setBold(highlighted);
    while (QFontMetrics(titleFont).horizontalAdvance(title) > textWidth &&
           titleFont.pointSizeF() > 6)
        titleFont.setPointSizeF(titleFont.pointSizeF() - 0.25);
    const QFontMetrics titleMetrics(titleFont);
    const int top = (StepIndicatorHeight - stepMetrics.height() - titleMetrics.height()) / 2;
    painter.setFont(stepFont);
    painter.setPen(highlighted ? Accent : Muted);
    painter.drawText(QRect(textLeft, top, textWidth, stepMetrics.height()),
                     Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("STEP %1").arg(number));
    painter.setFont(titleFont);
    painter.setPen(highlighted ? Ink : Muted);
    painter.drawText(QRect(textLeft, top + stepMetrics.height(), textWidth, titleMetrics.height()),
                     Qt::AlignLeft | Qt::AlignVCenter,
                     titleMetrics.elidedText(title, Qt::ElideRight, textWidth));
    return pixmap;
}

QPixmap ProgramInfoPicture(int size) {
    QPixmap pixmap = Canvas(size, size);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(Accent);
    painter.drawEllipse(QRectF(0.5, 0.5, size - 1, size - 1));
    painter.setBrush(Qt::white);
    const qreal s = size;
    painter.drawEllipse(QRectF(0.43 * s, 0.18 * s, 0.14 * s, 0.14 * s));
    painter.drawRoundedRect(QRectF(0.43 * s, 0.40 * s, 0.14 * s, 0.42 * s), 0.05 * s, 0.05 * s);
    return pixmap;
}

} // namespace qm
