// Hints of labels.
#include "app/ui/label_hint.h"

#include <QApplication>
#include <QScreen>
#include <QToolTip>
#include <QWidget>

#include <algorithm>

namespace qm {
namespace {

constexpr int HintOffset = 10;

} // namespace

QWidget* ShownHint() {
    if (!QToolTip::isVisible()) return nullptr;
    for (QWidget* window : QApplication::topLevelWidgets())
        if (window->inherits("QTipLabel") && window->isVisible()) return window;
    return nullptr;
}

void ShowLabelHint(QWidget* label, const QString& text, int milliseconds) {
    const QPoint origin = label->mapToGlobal(QPoint(0, 0));
    QToolTip::showText(origin, text, label, QRect(), milliseconds);
    QWidget* hint = ShownHint();
    if (!hint) return;
    // Its final size, which a tip takes only once polished.
    hint->ensurePolished();
    hint->adjustSize();
    QPoint place(origin.x() - HintOffset, origin.y() - HintOffset - hint->height());
    const QScreen* screen = label->screen();
    const QRect available = screen ? screen->availableGeometry() : QRect();
    if (available.isValid()) {
        if (place.y() < available.top()) place.setY(origin.y() + label->height() + HintOffset);
        place.setX(std::clamp(place.x(), available.left(),
                              std::max(available.left(), available.right() - hint->width())));
    }
    // move() places the window's frame; the place is for the hint itself.
    hint->move(place - (hint->geometry().topLeft() - hint->pos()));
}

} // namespace qm
