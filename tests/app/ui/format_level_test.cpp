// The format choice and the level slider: the labels of every level for the bit-rate formats,
// the compression labels, the reset to 5 on a change of format, Wav without settings, and the
// rows' target and output names following the choice at once.
#include "app/ui/level_labels.h"
#include "app/ui/ui_texts.h"
#include "tests/app/ui/wizard_fixture.h"

#include <QGroupBox>
#include <QLabel>
#include <QListWidget>
#include <QSlider>

#include "app/ui/vexo_controls.h"

namespace qm::test {
namespace {

const TTargetFormat& Target(std::string_view listText) {
    const TTargetFormat* target = FindTargetByListText(listText);
    if (!target) throw std::invalid_argument("no such target");
    return *target;
}

TEST(LevelLabels, BitRatesOfEveryLevel) {
    const char* mp3[] = {"80", "96", "112", "128", "144", "160", "192", "224", "256", "320"};
    const char* wma[] = {"80", "96", "112", "128", "144", "160", "192", "256", "320", "above 320"};
    const char* ogg[] = {"80", "96", "112", "128", "160", "192", "224", "256", "320", "499"};
    for (int level = 1; level <= 10; ++level) {
        EXPECT_EQ(BitrateText(&Target("Mp3"), level), mp3[level - 1]) << level;
        EXPECT_EQ(BitrateText(&Target("Windows Media Audio"), level), wma[level - 1]) << level;
        EXPECT_EQ(BitrateText(&Target("OggVorbis"), level), ogg[level - 1]) << level;
        // Formats without a column of their own read the Ogg Vorbis guide.
        EXPECT_EQ(BitrateText(&Target("Wav"), level), ogg[level - 1]) << level;
        EXPECT_EQ(BitrateText(nullptr, level), ogg[level - 1]) << level;
    }
    EXPECT_EQ(LevelLabelText(TLevelMode::lmBitrate, &Target("Windows Media Audio"), 10),
              "Sq Level: 10 / Bitrate Output: above 320 Kbps");
    EXPECT_EQ(SelectedLevelText(TLevelMode::lmBitrate, &Target("Windows Media Audio"), 10),
              "Sq Level: 10 / above 320 Kbps");
    EXPECT_EQ(LevelLabelText(TLevelMode::lmBitrate, &Target("Mp3"), 5),
              "Sq Level: 5 / Bitrate Output: 144 Kbps");
    EXPECT_EQ(SelectedLevelText(TLevelMode::lmBitrate, &Target("Mp3"), 5),
              "Sq Level: 5 / 144 Kbps");
    EXPECT_EQ(LevelLabelText(TLevelMode::lmCompression, &Target("FLAC"), 8),
              "Compression Level: 8");
    EXPECT_EQ(SelectedLevelText(TLevelMode::lmCompression, &Target("FLAC"), 8), "8");
}

TEST(LevelLabels, CaptionsName) {
    EXPECT_EQ(LevelGroupCaption(Target("Monkey's Audio (Ape)")),
              "Specify a level of compression for your \"Ape\" files");
    EXPECT_EQ(LevelGroupCaption(Target("OggVorbis")),
              "Specify a level of sound-quality for your \"OggVorbis\" files");
    EXPECT_EQ(LevelGroupCaption(Target("Wav")), texts::WavLevelCaption);
    EXPECT_EQ(LevelInstruction(Target("WavPack")), texts::CompressionMemo);
    EXPECT_EQ(LevelDescriptionCaption(Target("Mp3")), texts::SoundQualityLevelDescription);
}

class FormatLevelTest : public WizardTest {
protected:
    void ChooseFormat(const char* listText) {
        auto* formats = Find<QListWidget>("lstbxAudioFormats");
        const auto items = formats->findItems(listText, Qt::MatchExactly);
        ASSERT_EQ(items.size(), 1);
        QTest::mouseClick(formats->viewport(), Qt::LeftButton, {},
                          formats->visualItemRect(items.front()).center());
        ASSERT_EQ(formats->currentItem(), items.front());
    }
    QSlider* Slider() const { return Find<QSlider>("vexotrkbrSoundLevel"); }
    // The slider moved by its keys, as a user would on step 3.
    void MoveSliderTo(int level) {
        Slider()->setFocus();
        while (Slider()->value() < level)
            QTest::keyClick(Slider(), Qt::Key_Right);
        while (Slider()->value() > level)
            QTest::keyClick(Slider(), Qt::Key_Left);
    }
};

TEST_F(FormatLevelTest, ChangingFormatResetsAndRelabelsTheSlider) {
    WalkTo(2, {Folder.File("song.mp3")}); // FLAC, chosen on arrival
    EXPECT_EQ(Text("lblLevel"), "Compression Level: 5");
    EXPECT_EQ(Find("lblLevel")->x(), 175);
    MoveSliderTo(8);
    EXPECT_EQ(Text("lblLevel"), "Compression Level: 8");
    EXPECT_EQ(Text("lblSelectedSoundQuality"), "8");
    EXPECT_EQ(Text("grpbxLevels"), "Specify a level of compression for your \"FLAC\" files");

    Click("btnPrevious");
    ChooseFormat("FLAC"); // the same format keeps the level
    EXPECT_EQ(Slider()->value(), 8);
    ChooseFormat("Mp3");
    EXPECT_EQ(Slider()->value(), 5);
    EXPECT_EQ(Text("lblAudioFormat"), "Mp3  (*.mp3)");
    EXPECT_EQ(Text("lblCompressionScheme"), "Lossy compression");
    EXPECT_EQ(Find<TQulMerMemoCtrl>("memoFormatSummary")->Lines().size(), 3);
    ASSERT_TRUE(PressNext().empty());
    EXPECT_EQ(Text("lblLevel"), "Sq Level: 5 / Bitrate Output: 144 Kbps");
    EXPECT_EQ(Find("lblLevel")->x(), 140);
    EXPECT_EQ(Text("lblSelectedSoundQuality"), "Sq Level: 5 / 144 Kbps");
    EXPECT_EQ(Find<TQulMerMemoCtrl>("qmmemoStep3Instructions")->Lines(),
              QStringList{Q(texts::SoundQualityMemo)});
    EXPECT_EQ(Text("statxtSelectedLevelDescription"), Q(texts::SoundQualityLevelDescription));
    MoveSliderTo(9);
    EXPECT_EQ(Text("lblLevel"), "Sq Level: 9 / Bitrate Output: 256 Kbps");
    MoveSliderTo(1);
    EXPECT_EQ(Text("lblLevel"), "Sq Level: 1 / Bitrate Output: 80 Kbps");

    Click("btnPrevious");
    ChooseFormat("Windows Media Audio");
    ASSERT_TRUE(PressNext().empty());
    MoveSliderTo(10);
    EXPECT_EQ(Text("lblLevel"), "Sq Level: 10 / Bitrate Output: above 320 Kbps");
    MoveSliderTo(8);
    EXPECT_EQ(Text("lblLevel"), "Sq Level: 8 / Bitrate Output: 256 Kbps");

    Click("btnPrevious");
    ChooseFormat("OggVorbis");
    ASSERT_TRUE(PressNext().empty());
    MoveSliderTo(10);
    EXPECT_EQ(Text("lblLevel"), "Sq Level: 10 / Bitrate Output: 499 Kbps");
    ASSERT_TRUE(PressNext().empty());
    EXPECT_EQ(Text("lblSelectedSoundQuality"), "Sq Level: 10 / 499 Kbps");
    EXPECT_EQ(Wizard->Descriptors().front()->Level, 10);
}

TEST_F(FormatLevelTest, SliderExitGivesEveryRowTheLevel) {
    WalkTo(2, {Folder.File("a.wav"), Folder.File("b.wav")});
    MoveSliderTo(3);
    Find("chkbxDelete")->setFocus(); // leaving the slider
    RunPending();
    for (auto* descriptor : Wizard->Descriptors())
        EXPECT_EQ(descriptor->Level, 3);
}

TEST_F(FormatLevelTest, WavNeedsNoSettings) {
    WalkTo(1, {Folder.File("song.mp3")});
    ChooseFormat("Mp3");
    ASSERT_TRUE(PressNext().empty());
    MoveSliderTo(9);
    Click("btnPrevious");
    ChooseFormat("Wav");
    EXPECT_EQ(Slider()->value(), 5);
    EXPECT_FALSE(Slider()->isEnabled());
    for (const char* end : {"statxtStandardSQ", "statxtBestSQ", "statxtCDRomSQ"})
        EXPECT_FALSE(Find(end)->isEnabled()) << end;
    EXPECT_TRUE(Find("statxtBestSQ")->isHidden());
    EXPECT_TRUE(Find("lblLevel")->isHidden());
    EXPECT_EQ(Text("grpbxLevels"), Q(texts::WavLevelCaption));
    EXPECT_EQ(Find<TQulMerMemoCtrl>("qmmemoStep3Instructions")->Lines(),
              QStringList{Q(texts::WavMemo)});
    EXPECT_EQ(Text("lblCompressionScheme"), "No compression is used - (Raw audio)");
    EXPECT_FALSE(Find("btnEditTags")->isEnabled());
    ASSERT_TRUE(PressNext().empty());
    ASSERT_TRUE(PressNext().empty());
    EXPECT_EQ(Text("lblSelectedSoundQuality"), Q(texts::NoSettingsRequired));
    EXPECT_EQ(Text("statxtSelectedLevelDescription"), Q(texts::WavLevelDescription));
    EXPECT_EQ(Text("lblSelectedFormat"), "Wav");
    EXPECT_EQ(Wizard->Descriptors().front()->TargetFormat, TTargetId::Wav);
    EXPECT_EQ(Wizard->Descriptors().front()->OutputName, "song.wav");

    // Back to a format with settings: the slider comes back.
    Click("btnPrevious");
    Click("btnPrevious");
    ChooseFormat("WavPack");
    EXPECT_TRUE(Slider()->isEnabled());
    EXPECT_FALSE(Find("lblLevel")->isHidden());
}

TEST_F(FormatLevelTest, OutputNamesFollowTheFormatAtOnce) {
    WalkTo(1, {Folder.File("song.mp3"), Folder.File("noext/track"), Folder.File("a.b.ogg")});
    // "track" has no audio extension and was not added.
    ASSERT_EQ(List().RowCount(), 2);
    EXPECT_EQ(List().Row(0)->Descriptor().OutputName, "song.flac");
    ChooseFormat("WavPack");
    EXPECT_EQ(List().Row(0)->Descriptor().OutputName, "song.wv");
    EXPECT_EQ(List().Row(0)->Descriptor().TargetFormat, TTargetId::WavPack);
    EXPECT_EQ(List().Row(1)->Descriptor().OutputName, "a.b.wv");
    ChooseFormat("Monkey's Audio (Ape)");
    EXPECT_EQ(List().Row(1)->Descriptor().OutputName, "a.b.ape");
    EXPECT_EQ(List().Row(1)->Descriptor().TargetFormat, TTargetId::Ape);
    EXPECT_EQ(Text("lblAudioFormat"), "Monkey's Audio  (*.ape)");
    EXPECT_TRUE(Find("btnEditTags")->isEnabled());
}

} // namespace
} // namespace qm::test
