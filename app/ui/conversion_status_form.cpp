// The status window.
#include "app/ui/conversion_status_form.h"

#include "app/converter/conversion_rules.h"

#include "app/ui/label_hint.h"
#include "app/ui/run_texts.h"
#include "app/ui/secondary_window.h"
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
#include <QVBoxLayout>

#include <utility>

namespace qm {
namespace {

constexpr int MinimumWidth = 640;
constexpr char TagProperty[] = "Tag";

QLabel* CaptionLabel(std::string_view text, QWidget* parent) {
    return new QLabel(ToQString(text), parent);
}

QProgressBar* SmoothBar(const char* name, QWidget* parent) {
    auto* bar = new QProgressBar(parent);
    bar->setObjectName(name);
    // The text is set by hand: the percentage of the work, not of the bar's steps.
    bar->setTextVisible(true);
    bar->setAlignment(Qt::AlignCenter);
    bar->setFormat(QStringLiteral("0%"));
    bar->setRange(0, 100);
    bar->setValue(0);
    return bar;
}

} // namespace

TConversionStatusForm::TConversionStatusForm(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint) {
    SetUpModalWindow(*this, "ConversionStatusForm", texts::StatusCaption);

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
    Lanes.push_back({lblCurrentFile, progbarPerFile, {}, 0, 0, {}});

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
    lblFilesWarned = addCount(texts::FilesWarned, "lblFilesWarned", "0");
    lblFilesSkipped = addCount(texts::FilesSkipped, "lblFilesSkipped", "0");
    lblFilesFailed = addCount(texts::FilesFailed, "lblFilesFailed", "0");
    progbarOverall = SmoothBar("progbarOverall", grpbxOverallStatus);
    overall->addWidget(progbarOverall, overall->rowCount(), 0, 1, 2);
    overall->setColumnStretch(1, 1);

    lblRunState = new QLabel(this);
    lblRunState->setObjectName("lblRunState");
    lblRunState->setWordWrap(true);
    QFont bold = lblRunState->font();
    bold.setBold(true);
    lblRunState->setFont(bold);
    lblRunState->setVisible(false);

    btnStop = new QPushButton(ToQString(texts::StatusStop), this);
    btnStop->setObjectName("btnStop");
    btnViewFiles = new QPushButton(ToQString(texts::StatusViewFiles), this);
    btnViewFiles->setObjectName("btnViewFiles");
    btnClose = new QPushButton(ToQString(texts::StatusClose), this);
    btnClose->setObjectName("btnClose");
    for (auto* button : {btnStop, btnViewFiles, btnClose}) {
        button->setEnabled(false);
        button->setMinimumWidth(96);
        button->setAutoDefault(false);
    }

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(grpbxStatus);
    layout->addWidget(grpbxOverallStatus);
    layout->addWidget(lblRunState);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(btnStop);
    buttons->addStretch();
    buttons->addWidget(btnViewFiles);
    buttons->addWidget(btnClose);
    layout->addLayout(buttons);
    // A fixed size that follows the texts: the end line may take a second line.
    layout->setSizeConstraint(QLayout::SetFixedSize);
    grpbxStatus->setMinimumWidth(MinimumWidth - layout->contentsMargins().left() -
                                 layout->contentsMargins().right());

    BarTimer.setInterval(BarRefreshMilliseconds);
    BarTimer.setSingleShot(true);
    connect(&BarTimer, &QTimer::timeout, this, [this] {
        ShowTexts();
        if (!Complete) ShowBars();
    });
    connect(btnClose, &QPushButton::clicked, this, &QDialog::accept);
    connect(btnViewFiles, &QPushButton::clicked, this, &TConversionStatusForm::ViewFilesRequested);
    connect(btnStop, &QPushButton::clicked, this, &TConversionStatusForm::StopRequested);
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

void TConversionStatusForm::MakeLaneRows(int lanes) {
    auto* grid = static_cast<QGridLayout*>(grpbxStatus->layout());
    for (int lane = int(Lanes.size()); lane < lanes; ++lane) {
        const QByteArray name = "lblLaneFile" + QByteArray::number(lane + 1);
        const QByteArray bar = "progbarLane" + QByteArray::number(lane + 1);
        TLane row{
            ValueLabel(name.constData(), 0), SmoothBar(bar.constData(), grpbxStatus), {}, 0, 0, {}};
        const int at = grid->rowCount();
        grid->addWidget(row.Name, at, 0, 1, 2);
        grid->addWidget(row.Bar, at + 1, 0, 1, 2);
        Lanes.push_back(row);
    }
    for (size_t lane = 1; lane < Lanes.size(); ++lane) {
        Lanes[lane].Name->setVisible(int(lane) < lanes);
        Lanes[lane].Bar->setVisible(int(lane) < lanes);
    }
    RunLanes = lanes;
}

void TConversionStatusForm::PrepareRun(const QString& target, int total, int lanes) {
    MakeLaneRows(std::max(lanes, 1));
    grpbxStatus->setTitle('"' + target + '"' + ToQString(texts::StatusGroupSuffix));
    setWindowTitle(ToQString(texts::StatusRunningCaption));
    btnClose->setEnabled(false);
    btnViewFiles->setEnabled(false);
    btnStop->setEnabled(true);
    lblRunState->clear();
    lblRunState->setVisible(false);
    for (auto& lane : Lanes) {
        lane.Bar->setValue(0);
        lane.Fraction = 0;
        lane.Percent = 0;
        lane.Clock.start();
        lane.StartedName = QString();
        if (lane.Name != lblCurrentFile) lane.Name->clear();
    }
    StartedFolder = QString();
    CountsStale = false;
    progbarOverall->setRange(0, std::max(total, 1));
    progbarOverall->setValue(0);
    for (auto* count : {lblFilesWarned, lblFilesSkipped, lblFilesFailed})
        count->setText("0");
    TotalFiles = total;
    DoneFiles = 0;
    RunClock.start();
    ShowBars();
    Complete = false;
}

void TConversionStatusForm::ShowFileStart(int lane, const TAudioFileDescriptor& file, int total,
                                          const TRunCounts& counts, int remaining) {
    const bool inLane = lane >= 0 && lane < int(Lanes.size());
    if (inLane) {
        Lanes[size_t(lane)].StartedName = ToQString(file.SourceName);
        StartedFolder = ToQString(ConversionRules::OutputFolder(file));
    }
    StartedTotal = total;
    StartedCounts = counts;
    StartedRemaining = remaining;
    CountsStale = true;
    if (!Complete && inLane) {
        Lanes[size_t(lane)].Clock.start();
        Lanes[size_t(lane)].Fraction = 0;
        Lanes[size_t(lane)].Percent = 0;
    }
    // One file at a time: its texts at once. Files side by side start many times a second, so
    // their texts are shown with the bars.
    if (RunLanes > 1) {
        ScheduleBars();
        return;
    }
    ShowTexts();
    if (!Complete && inLane) ScheduleBars();
}

void TConversionStatusForm::ShowTexts() {
    for (auto& row : Lanes) {
        if (row.StartedName.isNull()) continue;
        if (row.Name == lblCurrentFile) FullName = row.StartedName;
        SetShortened(row.Name, std::exchange(row.StartedName, QString()));
    }
    if (!StartedFolder.isNull()) {
        FullFolder = std::exchange(StartedFolder, QString());
        SetShortened(lblFolder, FullFolder);
    }
    if (!std::exchange(CountsStale, false)) return;
    const TRunCounts& counts = StartedCounts;
    lblFilesCompleted->setText(QString::number(counts.Converted) + ToQString(texts::OutOf) +
                               QString::number(StartedTotal));
    // The files being converted are not waiting.
    lblFilesWaiting->setText(QString::number(StartedRemaining > 0 ? StartedRemaining - 1 : 0));
    lblFilesWarned->setText(QString::number(counts.Warned));
    lblFilesSkipped->setText(QString::number(counts.Skipped));
    lblFilesFailed->setText(QString::number(counts.Failed));
}

void TConversionStatusForm::ShowFileProgress(int lane, int percent) {
    // -1: the source's size is not known; the bar keeps what it shows.
    if (percent < 0 || lane < 0 || lane >= int(Lanes.size())) return;
    Lanes[size_t(lane)].Percent = std::min(percent, 100);
    Lanes[size_t(lane)].Fraction = std::min(percent, 100) / 100.0;
    ScheduleBars();
}

void TConversionStatusForm::ScheduleBars() {
    // Painted a few times a second, not at every event: a progress bar repaints at once when its
    // value moves, and files side by side send many events.
    if (!BarTimer.isActive()) BarTimer.start();
}

void TConversionStatusForm::ShowBars() {
    double running = 0;
    for (int lane = 0; lane < RunLanes && lane < int(Lanes.size()); ++lane) {
        const TLane& row = Lanes[size_t(lane)];
        row.Bar->setValue(row.Percent);
        row.Bar->setFormat(ToQString(BarText(row.Percent / 100.0, row.Clock.elapsed())));
        running += row.Fraction;
    }
    progbarOverall->setValue(std::min(DoneFiles, progbarOverall->maximum()));
    // By files, as the bars fill; the files being converted count by their share done.
    const double overall = (DoneFiles + running) / double(std::max(TotalFiles, 1));
    progbarOverall->setFormat(ToQString(BarText(std::min(overall, 1.0), RunClock.elapsed())));
}

void TConversionStatusForm::StepOverall(int lane) {
    ++DoneFiles;
    if (lane >= 0 && lane < int(Lanes.size())) Lanes[size_t(lane)].Fraction = 0;
    ScheduleBars();
}

void TConversionStatusForm::ShowEnd(const QString& summary, bool stopped) {
    BarTimer.stop();
    ShowTexts();
    ShowBars();
    Complete = true;
    btnStop->setEnabled(false);
    btnClose->setEnabled(true);
    btnViewFiles->setEnabled(true);
    setWindowTitle(ToQString(stopped ? texts::StatusStoppedCaption : texts::StatusCompleteCaption));
    lblRunState->setText(summary);
    lblRunState->setVisible(true);
    // Complete: every bar full; stopped: where the run stood, without a time left that will
    // never come.
    for (auto& lane : Lanes)
        lane.Bar->setFormat(stopped ? QStringLiteral("%p%") : QStringLiteral("100%"));
    progbarOverall->setFormat(stopped ? QStringLiteral("%p%") : QStringLiteral("100%"));
}

void TConversionStatusForm::SetViewFilesEnabled(bool enabled) {
    btnViewFiles->setEnabled(enabled && Complete);
}

void TConversionStatusForm::CentreOver(const QWidget* owner) {
    if (owner == nullptr) return;
    // Before its first showing the window still has Qt's default size, not its layout's.
    if (!testAttribute(Qt::WA_Resized)) adjustSize();
    move(owner->frameGeometry().center() - rect().center());
}

void TConversionStatusForm::ShowModalOver(QWidget* owner) {
    CentreOver(owner);
    exec();
}

void TConversionStatusForm::ShowOver(QWidget* owner) {
    CentreOver(owner);
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
            if (!hint.isEmpty()) ShowLabelHint(label, hint, HintMilliseconds);
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

} // namespace qm
