// The status window.
#include "app/ui/conversion_status_form.h"

#include "app/converter/conversion_rules.h"

#include "app/ui/run_texts.h"
#include "app/ui/shell_services.h"
#include "app/util/file_utils.h"

#include <QCloseEvent>
#include <QFontMetrics>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QToolTip>
#include <QVBoxLayout>

namespace qm {
namespace {

constexpr int WindowWidth = 640;
constexpr int WindowHeight = 330;
constexpr char TagProperty[] = "Tag";

QLabel* CaptionLabel(std::string_view text, QWidget* parent) {
    return new QLabel(ToQString(text), parent);
}

QProgressBar* SmoothBar(const char* name, QWidget* parent) {
    auto* bar = new QProgressBar(parent);
    bar->setObjectName(name);
    bar->setTextVisible(false);
    bar->setRange(0, 100);
    bar->setValue(0);
    return bar;
}

} // namespace

TConversionStatusForm::TConversionStatusForm(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint) {
    setObjectName("ConversionStatusForm");
    setWindowTitle(ToQString(texts::StatusCaption));
    setModal(true);

    grpbxStatus = new QGroupBox(this);
    grpbxStatus->setObjectName("grpbxStatus");
    auto* status = new QGridLayout(grpbxStatus);
    status->addWidget(CaptionLabel(texts::ConvertingFile, grpbxStatus), 0, 0);
    lblCurrentFile = ValueLabel("lblCurrentFile", 0);
    status->addWidget(lblCurrentFile, 0, 1);
    status->addWidget(CaptionLabel(texts::FolderAfterConversion, grpbxStatus), 1, 0);
    lblFolder = ValueLabel("lblFolder", 1);
    status->addWidget(lblFolder, 1, 1);
    progbarPerFile = SmoothBar("progbarPerFile", grpbxStatus);
    status->addWidget(progbarPerFile, 2, 0, 1, 2);
    status->setColumnStretch(1, 1);

    grpbxOverallStatus = new QGroupBox(ToQString(texts::OverallStatus), this);
    grpbxOverallStatus->setObjectName("grpbxOverallStatus");
    auto* overall = new QGridLayout(grpbxOverallStatus);
    const auto addCount = [&](std::string_view caption, const char* name, std::string_view text) {
        const int row = overall->rowCount();
        overall->addWidget(CaptionLabel(caption, grpbxOverallStatus), row, 0);
        auto* value = new QLabel(ToQString(text), grpbxOverallStatus);
        value->setObjectName(name);
        overall->addWidget(value, row, 1);
        return value;
    };
    lblFilesCompleted =
        addCount(texts::FilesConverted, "lblFilesCompleted", texts::InitialCompleted);
    lblFilesWaiting = addCount(texts::FilesWaiting, "lblFilesWaiting", "0");
    lblFilesFailed = addCount(texts::FilesFailed, "lblFilesFailed", "0");
    progbarOverall = SmoothBar("progbarOverall", grpbxOverallStatus);
    overall->addWidget(progbarOverall, overall->rowCount(), 0, 1, 2);
    overall->setColumnStretch(1, 1);

    btnViewFiles = new QPushButton(ToQString(texts::StatusViewFiles), this);
    btnViewFiles->setObjectName("btnViewFiles");
    btnClose = new QPushButton(ToQString(texts::StatusClose), this);
    btnClose->setObjectName("btnClose");
    for (auto* button : {btnViewFiles, btnClose}) {
        button->setEnabled(false);
        button->setMinimumWidth(96);
        button->setAutoDefault(false);
    }

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(grpbxStatus);
    layout->addWidget(grpbxOverallStatus);
    layout->addStretch();
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(btnViewFiles);
    buttons->addWidget(btnClose);
    layout->addLayout(buttons);
    setFixedSize(WindowWidth, WindowHeight);

    connect(btnClose, &QPushButton::clicked, this, &QDialog::accept);
    connect(btnViewFiles, &QPushButton::clicked, this, &TConversionStatusForm::ViewFilesRequested);
}

QLabel* TConversionStatusForm::ValueLabel(const char* name, int tag) {
    auto* label = new QLabel(grpbxStatus);
    label->setObjectName(name);
    label->setProperty(TagProperty, tag);
    label->setFixedWidth(ValueLabelWidth);
    QFont bold = label->font();
    bold.setBold(true);
    label->setFont(bold);
    label->installEventFilter(this);
    return label;
}

void TConversionStatusForm::SetShortened(QLabel* label, const QString& text) {
    const QFontMetrics metrics(label->font());
    const auto measure = [&metrics](std::string_view part) {
        return metrics.horizontalAdvance(ToQString(part));
    };
    const int limit = ValueLabelWidth - 2 * label->margin() - 2;
    label->setText(ToQString(ShortenText(ToStdString(text), limit, measure)));
}

void TConversionStatusForm::PrepareRun(const QString& target, int total) {
    grpbxStatus->setTitle('"' + target + '"' + ToQString(texts::StatusGroupSuffix));
    setWindowTitle(ToQString(texts::StatusRunningCaption));
    btnClose->setEnabled(false);
    btnViewFiles->setEnabled(false);
    progbarPerFile->setValue(0);
    progbarOverall->setRange(0, std::max(total, 1));
    progbarOverall->setValue(0);
    lblFilesFailed->setText("0");
    Complete = false;
}

void TConversionStatusForm::ShowFileStart(const TAudioFileDescriptor& file, int total,
                                          int converted, int remaining, int failed) {
    FullName = ToQString(file.SourceName);
    FullFolder = ToQString(ConversionRules::OutputFolder(file));
    SetShortened(lblCurrentFile, FullName);
    SetShortened(lblFolder, FullFolder);
    lblFilesCompleted->setText(QString::number(converted) + ToQString(texts::OutOf) +
                               QString::number(total));
    // The file being converted is not waiting.
    lblFilesWaiting->setText(QString::number(remaining > 0 ? remaining - 1 : 0));
    lblFilesFailed->setText(QString::number(failed));
}

void TConversionStatusForm::ShowFileProgress(int percent) {
    // -1: the source's size is not known; the bar keeps what it shows.
    if (percent >= 0) progbarPerFile->setValue(std::min(percent, 100));
}

void TConversionStatusForm::StepOverall() {
    progbarOverall->setValue(std::min(progbarOverall->value() + 1, progbarOverall->maximum()));
}

void TConversionStatusForm::ShowComplete() {
    Complete = true;
    btnClose->setEnabled(true);
    btnViewFiles->setEnabled(true);
    setWindowTitle(ToQString(texts::StatusCompleteCaption));
}

void TConversionStatusForm::SetViewFilesEnabled(bool enabled) {
    btnViewFiles->setEnabled(enabled && Complete);
}

void TConversionStatusForm::ShowModalOver(QWidget* owner) {
    if (owner) move(owner->frameGeometry().center() - rect().center());
    exec();
}

void TConversionStatusForm::ShowOver(QWidget* owner) {
    if (owner) move(owner->frameGeometry().center() - rect().center());
    show();
    raise();
    activateWindow();
}

void TConversionStatusForm::CloseForHandOver() {
    if (!isVisible()) return;
    ClosingForHandOver = true;
    done(QDialog::Rejected);
    ClosingForHandOver = false;
}

void TConversionStatusForm::closeEvent(QCloseEvent* event) {
    if (!Complete && !ClosingForHandOver) {
        event->ignore();
        return;
    }
    QDialog::closeEvent(event);
}

void TConversionStatusForm::reject() {
    if (!Complete && !ClosingForHandOver) return;
    QDialog::reject();
}

QString TConversionStatusForm::HintOf(const QLabel* label) const {
    if (label == lblCurrentFile) return FullName;
    if (label == lblFolder) return FullFolder;
    return {};
}

bool TConversionStatusForm::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::ToolTip) {
        if (auto* label = qobject_cast<QLabel*>(watched)) {
            const QString hint = HintOf(label);
            if (!hint.isEmpty())
                QToolTip::showText(label->mapToGlobal(label->contentsRect().topLeft()), hint, label,
                                   QRect(), HintMilliseconds);
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

} // namespace qm
