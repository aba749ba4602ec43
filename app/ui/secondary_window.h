// What the wizard's modal secondary windows share: their frame and how they are named.
#pragma once

#include "app/ui/shell_services.h"

#include <QDialog>

#include <string_view>

namespace qm {

// A title bar with the window menu and a close box; no minimise or maximise box.
inline constexpr Qt::WindowFlags kSecondaryWindowFlags =
    Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
    Qt::WindowCloseButtonHint;

// Names the window (tests and style sheets find it by that name), captions it, makes it modal.
inline void SetUpModalWindow(QDialog& window, const char* name, std::string_view caption) {
    window.setObjectName(name);
    window.setWindowTitle(ToQString(caption));
    window.setModal(true);
}

} // namespace qm
