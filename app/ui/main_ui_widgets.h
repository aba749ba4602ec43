// Small builders for the wizard's controls, shared by the files that lay out its pages.
#pragma once

#include "app/ui/shell_services.h"
#include "app/ui/vexo_controls.h"

#include <QFont>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include <initializer_list>
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

// The same, filled with one line a text and as tall as they are.
inline TQulMerMemoCtrl* InstructionMemo(QWidget* parent, const char* name,
                                        std::initializer_list<std::string_view> texts) {
    auto* memo = InstructionMemo(parent, name, int(texts.size()));
    for (const std::string_view text : texts)
        memo->AddLine(ToQString(text));
    return memo;
}

// A wizard page: its heading at the top of a margin-free column that the caller fills.
struct StepPage {
    QWidget* page;
    QVBoxLayout* layout;
};
inline StepPage NewStepPage(QWidget* parent, const char* name, std::string_view heading) {
    auto* page = new QWidget(parent);
    page->setObjectName(name);
    auto* layout = new QVBoxLayout(page);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(PageHeading(heading, page));
    return {page, layout};
}

inline QLabel* BoldLabel(std::string_view text, QWidget* parent, const char* name = nullptr) {
    auto* label = NewLabel(text, parent, name);
    QFont font = label->font();
    font.setBold(true);
    label->setFont(font);
    return label;
}

} // namespace qm::widgets
