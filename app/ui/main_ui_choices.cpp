// The format list and the level slider: what a format choice changes on steps 2 to 4 and in
// every row, and how the slider labels its positions.
#include "app/ui/main_ui.h"

#include "app/catalogue/format_catalogue.h"
#include "app/converter/conversion_rules.h"
#include "app/ui/audio_file_list.h"
#include "app/ui/shell_services.h"
#include "app/ui/vexo_controls.h"
#include "app/util/path_utils.h"

#include <QGroupBox>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>

namespace qm {
namespace {

constexpr int CompressionLabelLeft = 175;
constexpr int BitrateLabelLeft = 140;

} // namespace

const TTargetFormat* TQulMerMainUI::SelectedTarget() const {
    const auto selected = lstbxAudioFormats->selectedItems();
    if (selected.isEmpty()) return nullptr;
    return TargetFormatAt(lstbxAudioFormats->row(selected.front()));
}

void TQulMerMainUI::lstbxAudioFormatsClick() {
    const TTargetFormat* target = SelectedTarget();
    if (!target) return;
    const int index = TargetIndexOf(*target);
    for (auto* descriptor : Descriptors()) {
        descriptor->TargetFormat = target->Id;
        descriptor->OutputName = ConversionRules::OutputName(descriptor->SourceName, target->Id);
    }
    SetLevelKind(index);
    const TFormatDescription description = DescribeTargetFormat(index);
    lblAudioFormat->setText(ToQString(description.Name));
    lblCompressionScheme->setText(ToQString(description.CompressionScheme));
    memoFormatSummary->SetLinesFromText(ToQString(description.Summary));
    btnEditTags->setEnabled(description.Tags == "Yes");
    // A change of format starts its level over from the middle.
    if (index != PreviousFormatIndex) vexotrkbrSoundLevel->setValue(DefaultLevel);
    PreviousFormatIndex = index;
    vexotrkbrSoundLevelChange();
}

void TQulMerMainUI::SetLevelKind(int index) {
    const TTargetFormat* target = TargetFormatAt(index);
    if (!target) return;
    const auto mode = LevelModeOf(*target);
    const bool needsSettings = mode.has_value();
    vexotrkbrSoundLevel->setEnabled(needsSettings);
    statxtStandardSQ->setEnabled(needsSettings);
    statxtBestSQ->setEnabled(needsSettings);
    statxtCDRomSQ->setEnabled(needsSettings);
    lblLevel->setVisible(needsSettings);
    grpbxLevels->setTitle(ToQString(LevelGroupCaption(*target)));
    qmmemoStep3Instructions->ClearLines();
    qmmemoStep3Instructions->AddLine(ToQString(LevelInstruction(*target)));
    statxtSelectedLevelDescription->setText(ToQString(LevelDescriptionCaption(*target)));
    if (mode)
        LevelMode = *mode;
    else
        vexotrkbrSoundLevel->setValue(DefaultLevel);
}

void TQulMerMainUI::vexotrkbrSoundLevelChange() {
    const int level = vexotrkbrSoundLevel->value();
    const TTargetFormat* target = SelectedTarget();
    const bool compression = LevelMode == TLevelMode::lmCompression;
    lblLevel->move(compression ? CompressionLabelLeft : BitrateLabelLeft, lblLevel->y());
    lblLevel->setText(ToQString(LevelLabelText(LevelMode, target, level)));
    lblLevel->adjustSize();
    lblSelectedSoundQuality->setText(ToQString(SelectedLevelText(LevelMode, target, level)));
}

void TQulMerMainUI::vexotrkbrSoundLevelExit() {
    for (auto* descriptor : Descriptors())
        descriptor->Level = vexotrkbrSoundLevel->value();
}

} // namespace qm
