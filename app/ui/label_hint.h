// Hints of labels that show a shortened text in full. A tip placed under the pointer takes the
// pointer from the label, and Qt closes a tip as soon as the pointer leaves a widget; so the
// hint goes above the label (below it at the top of the screen), never over it.
#pragma once

#include <QString>

class QWidget;

namespace qm {

// Shows `text` for `milliseconds`, its lower-left corner 10 pixels left of and above the
// label's origin.
void ShowLabelHint(QWidget* label, const QString& text, int milliseconds);

// The hint window now shown, or null.
QWidget* ShownHint();

} // namespace qm
