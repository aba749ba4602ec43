// Modal message boxes with the program's fixed texts. The stored text is kept on the box as the
// property "RawText" so that what was asked for can be compared with what is shown.
#pragma once

#include <QMessageBox>

#include <string_view>

namespace qm {

inline constexpr const char* RawTextProperty = "RawText";

// Shows an OK box over `parent` and waits for it to close.
void ShowMessage(QWidget* parent, QMessageBox::Icon icon, std::string_view title,
                 std::string_view text);

// Asks a question with "Yes" and "No" ("No" the default); true for "Yes".
bool AskQuestion(QWidget* parent, std::string_view title, std::string_view text);

// Opens the same box over `parent` and returns at once; it goes when it is closed. For a
// message while events must keep their course (a conversion runs on).
void OpenMessage(QWidget* parent, QMessageBox::Icon icon, std::string_view title,
                 std::string_view text);

} // namespace qm
