// Small builders for the wizard's controls, shared by the files that lay out its pages.
#pragma once

#include "app/ui/shell_services.h"
#include "app/ui/vexo_controls.h"

#include <QFont>
#include <QLabel>
#include <QPushButton>

#include <string_view>

namespace qm::widgets {
inline QLabel* NewLabel(std::string_view text, QWidget* parent, const char* name = nullptr) {
    auto* label = new QLabel(ToQString(text), parent);
    if (name) label->setObjectName(name);
    return label;
}

inline QPushButton* NewButton(std::string_view text, QWidget* parent, const char* name) {
    auto* button = new QPushButton(ToQString(text), parent);
    button->setObjectName(name);
    return button;
}

inline QLabel* PageHeading(std::string_view text, QWidget* parent) {
    auto* heading = NewLabel(text, parent);
    QFont font = heading->font();
    font.setBold(true);
    font.setPointSizeF(font.pointSizeF() * 1.45);
    heading->setFont(font);
    heading->setStyleSheet("color: rgb(37, 99, 175);");
    return heading;
}

// An instruction text of `lines` lines at first; it grows when a larger font wraps it more.
inline TQulMerMemoCtrl* InstructionMemo(QWidget* parent, const char* name, int lines) {
    auto* memo = new TQulMerMemoCtrl(parent);
    memo->setObjectName(name);
    const int lineHeight = memo->fontMetrics().lineSpacing();
    memo->setFixedHeight(lineHeight * lines + 10);
    memo->SetHeightFollowsText(true);
    return memo;
}

inline QLabel* BoldLabel(std::string_view text, QWidget* parent, const char* name = nullptr) {
    auto* label = NewLabel(text, parent, name);
    QFont font = label->font();
    font.setBold(true);
    label->setFont(font);
    return label;
}

} // namespace qm::widgets
