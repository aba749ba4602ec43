// The about window.
#include "app/ui/program_information.h"

#include "app/ui/artwork.h"
#include "app/ui/secondary_window.h"
#include "app/ui/shell_services.h"
#include "app/ui/ui_texts.h"

#include <QEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>
#include <QVBoxLayout>

namespace qm {

TQuillmereProgramInformation::TQuillmereProgramInformation(QWidget* parent)
    : QDialog(parent, kSecondaryWindowFlags) {
    SetUpModalWindow(*this, "QuillmereProgramInformation", texts::ProgramInformation);

    auto* mark = new QLabel(this);
    mark->setObjectName("imgProgramLogo");
    mark->setPixmap(QuillmereMark(72));
    mark->setAlignment(Qt::AlignTop);

    auto* name = new QLabel(ToQString(texts::ProductName), this);
    name->setObjectName("lblProductName");
    QFont large = name->font();
    large.setBold(true);
    large.setPointSizeF(large.pointSizeF() * 2.2);
    name->setFont(large);
    name->setStyleSheet("color: rgb(37, 99, 175);");
    auto* kind = new QLabel(ToQString(texts::ProductKind), this);
    kind->setObjectName("lblProductKind");
    auto* version = new QLabel(ToQString(texts::Version), this);
    version->setObjectName("lblVersion");
    auto* support = new QLabel(ToQString(texts::Support), this);
    support->setObjectName("lblSupport");
    lblWebAddress = new QLabel(ToQString(texts::SupportAddress), this);
    lblWebAddress->setObjectName("lblWebAddress");
    QFont link = lblWebAddress->font();
    link.setBold(true);
    link.setUnderline(true);
    lblWebAddress->setFont(link);
    lblWebAddress->setStyleSheet("color: rgb(0, 0, 255);");
    lblWebAddress->setCursor(Qt::PointingHandCursor);
    lblWebAddress->installEventFilter(this);

    btnOk = new QPushButton(ToQString(texts::Ok), this);
    btnOk->setObjectName("btnOk");
    btnOk->setMinimumWidth(96);
    btnOk->setDefault(true);

    auto* texts = new QVBoxLayout;
    texts->setSpacing(4);
    texts->addWidget(name);
    texts->addWidget(kind);
    texts->addSpacing(12);
    texts->addWidget(version);
    texts->addSpacing(12);
    texts->addWidget(support);
    texts->addWidget(lblWebAddress);
    auto* top = new QHBoxLayout;
    top->setSpacing(18);
    top->addWidget(mark);
    top->addLayout(texts, 1);
    auto* bottom = new QHBoxLayout;
    bottom->addStretch();
    bottom->addWidget(btnOk);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(22, 20, 22, 14);
    layout->addLayout(top);
    layout->addSpacing(14);
    layout->addLayout(bottom);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    connect(btnOk, &QPushButton::clicked, this, &QDialog::accept);
}

bool TQuillmereProgramInformation::eventFilter(QObject* watched, QEvent* event) {
    if (watched == lblWebAddress && event->type() == QEvent::MouseButtonRelease &&
        static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
        OpenWebAddress(lblWebAddress->text(), this);
        return true;
    }
    return QDialog::eventFilter(watched, event);
}

} // namespace qm
