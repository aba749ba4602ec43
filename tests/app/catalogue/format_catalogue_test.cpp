// The format catalogue: which files are admitted, which descriptor names them, which
// extension a target gives, and the exact texts the wizard shows.
#include "app/catalogue/format_catalogue.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

namespace {

using namespace qm;

TEST(FormatCatalogue, AcceptsExactlyTheThirteenExtensionsInAnyCase) {
    for (const char* extension : {".wav", ".mp3", ".ogg", ".flac", ".wma", ".wmv", ".ape", ".tta",
                                  ".wv", ".m4a", ".ofr", ".tak", ".mp4"})
        EXPECT_TRUE(IsSupportedAudioFile(std::string("/music/song") + extension)) << extension;

    EXPECT_TRUE(IsSupportedAudioFile("/music/song.MP3")); // the case of an extension is ignored
    EXPECT_TRUE(IsSupportedAudioFile("/music/song.Flac"));
    EXPECT_FALSE(IsSupportedAudioFile("/music/archive.mp3.zip"));
    EXPECT_FALSE(IsSupportedAudioFile("/music/song"));
    EXPECT_FALSE(IsSupportedAudioFile("/music/song."));
    EXPECT_FALSE(IsSupportedAudioFile("/music/song.fla")); // prefix of ".flac"
    EXPECT_FALSE(IsSupportedAudioFile("/music/song.flacc"));
    EXPECT_FALSE(IsSupportedAudioFile("/music/song.wvc")); // WavPack correction file
    EXPECT_FALSE(IsSupportedAudioFile(""));
    EXPECT_TRUE(IsSupportedAudioFile("/music/a.b.flac"));
    EXPECT_TRUE(IsSupportedAudioFile("song.wv"));
}

TEST(FormatCatalogue, ExtensionIsTakenAfterTheLastSlashOnly) {
    EXPECT_FALSE(IsSupportedAudioFile("/music.wav/song"));
    EXPECT_FALSE(IsSupportedAudioFile("/a.mp3/"));
    EXPECT_EQ(FormatDescriptorOfFile("/music.wav/song"), "");
    EXPECT_TRUE(IsSupportedAudioFile("/a.b/c.ogg"));
    // A backslash is an ordinary character of a POSIX name, not a separator.
    EXPECT_TRUE(IsSupportedAudioFile("/music/x\\y.mp3"));
    EXPECT_FALSE(IsSupportedAudioFile("/music/x.mp3\\y"));
}

TEST(FormatCatalogue, SourceDescriptorsComeFromTheLookupList) {
    EXPECT_EQ(FormatDescriptorOfFile("/m/song.wav"), "WAV");
    EXPECT_EQ(FormatDescriptorOfFile("/m/song.mp3"), "MP3");
    EXPECT_EQ(FormatDescriptorOfFile("/m/song.ogg"), "OGG");
    EXPECT_EQ(FormatDescriptorOfFile("/m/song.flac"), "FLAC");
    EXPECT_EQ(FormatDescriptorOfFile("/m/song.wma"), "WMA");
    EXPECT_EQ(FormatDescriptorOfFile("/m/clip.wmv"), "WMV");
    EXPECT_EQ(FormatDescriptorOfFile("/m/song.ape"), "APE");
    EXPECT_EQ(FormatDescriptorOfFile("/m/song.tta"), "TTA");
    EXPECT_EQ(FormatDescriptorOfFile("/m/song.wv"), "WavPack"); // not the target form "WavePack"
    EXPECT_EQ(FormatDescriptorOfFile("/m/song.m4a"), "M4A");
    EXPECT_EQ(FormatDescriptorOfFile("/m/song.ofr"), "OFR");
    EXPECT_EQ(FormatDescriptorOfFile("/m/song.tak"), "TAK");
    EXPECT_EQ(FormatDescriptorOfFile("/m/clip.mp4"), "MPEG4");
    EXPECT_EQ(FormatDescriptorOfFile("/m/a.b.flac"), "FLAC");
}

TEST(FormatCatalogue, DescriptorRuleIgnoresCaseButNotPartialExtensions) {
    EXPECT_EQ(FormatDescriptorOfFile("/m/song.MP3"), "MP3");
    EXPECT_EQ(FormatDescriptorOfFile("/m/song.FlAc"), "FLAC");
    EXPECT_EQ(FormatDescriptorOfFile("/m/song.WV"), "WavPack");
    // Pieces of a lookup string that are not its whole extension match nothing.
    EXPECT_EQ(FormatDescriptorOfFile("/m/song.fla"), "");
    EXPECT_EQ(FormatDescriptorOfFile("/m/song.w"), "");
    EXPECT_EQ(FormatDescriptorOfFile("/m/song.mp"), "");
    EXPECT_EQ(FormatDescriptorOfFile("/m/song."), "");
    EXPECT_EQ(FormatDescriptorOfFile("/m/song"), "");
    EXPECT_EQ(FormatDescriptorOfFile(""), "");
    EXPECT_EQ(FormatDescriptorOfFile("/m/song.wvc"), "");
    EXPECT_EQ(FormatDescriptorOfFile("/m/archive.mp3.zip"), "");
}

TEST(FormatCatalogue, ExtensionOfDescriptorUsesTheCatalogueColumn) {
    EXPECT_EQ(ExtensionOfDescriptor("WavePack"), ".wv");
    EXPECT_EQ(ExtensionOfDescriptor("WavPack"), ""); // the source form
    EXPECT_EQ(ExtensionOfDescriptor("FLAC"), ".flac");
    EXPECT_EQ(ExtensionOfDescriptor("APE"), ".ape");
    EXPECT_EQ(ExtensionOfDescriptor("MP3"), ".mp3");
    EXPECT_EQ(ExtensionOfDescriptor("OGG"), ".ogg");
    EXPECT_EQ(ExtensionOfDescriptor("WAV"), ".wav");
    EXPECT_EQ(ExtensionOfDescriptor("WMA"), ".wma");
    EXPECT_EQ(ExtensionOfDescriptor("MPEG4"), ".mp4");
    EXPECT_EQ(ExtensionOfDescriptor("mp3"), ""); // exact comparison
    EXPECT_EQ(ExtensionOfDescriptor(""), "");
}

TEST(FormatCatalogue, EverySourceDescriptorRoundTripsThroughItsExtension) {
    std::set<std::string_view> descriptors;
    for (const std::string_view entry : DescriptorLookupList) {
        const std::string extension(entry.substr(entry.rfind(',') + 1));
        EXPECT_TRUE(IsSupportedAudioFile("/m/x" + extension)) << entry;
        EXPECT_EQ(FormatDescriptorOfFile("/m/x" + extension), LookupEntryDescriptor(entry));
        descriptors.insert(LookupEntryDescriptor(entry));
    }
    EXPECT_EQ(descriptors,
              (std::set<std::string_view>{"WAV", "MP3", "OGG", "FLAC", "WMA", "WMV", "APE", "TTA",
                                          "WavPack", "M4A", "OFR", "TAK", "MPEG4"}));
    EXPECT_EQ(DescriptorLookupList[6], "Monkeys Audio,APE,.ape");
    EXPECT_EQ(AudioFormatCatalogue[6].DisplayName, "Monkey's Audio (Ape)");
}

TEST(FormatCatalogue, TargetListInWizardOrder) {
    const char* listTexts[] = {"FLAC",    "Monkey's Audio (Ape)", "Mp3", "OggVorbis", "Wav",
                               "WavPack", "Windows Media Audio"};
    const char* descriptors[] = {"FLAC", "APE", "MP3", "OGG", "WAV", "WavePack", "WMA"};
    const char* extensions[] = {".flac", ".ape", ".mp3", ".ogg", ".wav", ".wv", ".wma"};
    const TLevelKind kinds[] = {TLevelKind::lkCompression,  TLevelKind::lkCompression,
                                TLevelKind::lkSoundQuality, TLevelKind::lkSoundQuality,
                                TLevelKind::lkNone,         TLevelKind::lkCompression,
                                TLevelKind::lkSoundQuality};
    ASSERT_EQ(TargetFormats.size(), 7u);
    for (int i = 0; i < 7; ++i) {
        const TTargetFormat* target = TargetFormatAt(i);
        ASSERT_NE(target, nullptr);
        EXPECT_EQ(target->ListText, listTexts[i]);
        EXPECT_EQ(target->Descriptor, descriptors[i]);
        EXPECT_EQ(target->Extension, extensions[i]);
        EXPECT_EQ(ExtensionOfDescriptor(target->Descriptor), extensions[i]);
        EXPECT_EQ(target->LevelKind, kinds[i]);
        EXPECT_EQ(target->Levels == nullptr, kinds[i] == TLevelKind::lkNone) << listTexts[i];
        EXPECT_EQ(TargetIndexOf(*target), i);
        EXPECT_EQ(FindTargetByListText(listTexts[i]), target);
        EXPECT_EQ(FindTargetByDescriptor(descriptors[i]), target);
    }
    EXPECT_EQ(TargetFormatAt(-1), nullptr);
    EXPECT_EQ(TargetFormatAt(7), nullptr);
    EXPECT_EQ(FindTargetByDescriptor("WavPack"), nullptr);
    EXPECT_EQ(FindTargetByListText("Monkey's Audio"), nullptr);
}

TEST(FormatCatalogue, CommandLineNames) {
    const char* names[] = {"flac", "ape", "mp3", "ogg", "wav", "wv", "wma"};
    for (int i = 0; i < 7; ++i)
        EXPECT_EQ(FindTargetByCliName(names[i]), TargetFormatAt(i)) << names[i];
    EXPECT_EQ(FindTargetByCliName("FLAC"), TargetFormatAt(0));
    EXPECT_EQ(FindTargetByCliName("Wv"), TargetFormatAt(5));
    EXPECT_EQ(FindTargetByCliName("wavpack"), nullptr);
    EXPECT_EQ(FindTargetByCliName("fla"), nullptr);
    EXPECT_EQ(FindTargetByCliName("flacc"), nullptr);
    EXPECT_EQ(FindTargetByCliName(""), nullptr);
    static_assert(FindTargetByCliName("ogg") == &TargetFormats[3]);
}

TEST(FormatCatalogue, DescriptionTables) {
    const char* names[] = {"FLAC  (*.flac)",
                           "Monkey's Audio  (*.ape)",
                           "Mp3  (*.mp3)",
                           "OggVorbis  (*.ogg)",
                           "Wav  (*.wav)",
                           "WavePack  (*.wv)",
                           "Windows Media Audio  (*.wma)"};
    const char* schemes[] = {"Loss-less compression",
                             "Loss-less compression",
                             "Lossy compression",
                             "Lossy compression",
                             "No compression is used - (Raw audio)",
                             "Loss-less compression",
                             "Lossy compression"};
    for (int i = 0; i < 7; ++i) {
        const TFormatDescription description = DescribeTargetFormat(i);
        EXPECT_EQ(description.Name, names[i]);
        EXPECT_EQ(description.CompressionScheme, schemes[i]);
        EXPECT_EQ(description.Tags, i == 4 ? "No" : "Yes");
    }
    for (const int outside : {-1, 7, 1000}) {
        const TFormatDescription description = DescribeTargetFormat(outside);
        EXPECT_TRUE(description.Name.empty() && description.CompressionScheme.empty() &&
                    description.Tags.empty() && description.Summary.empty());
    }
}

TEST(FormatCatalogue, SummariesKeepTheirExactWordingAndLineBreaks) {
    const auto summary = [](int i) { return std::string(DescribeTargetFormat(i).Summary); };
    EXPECT_TRUE(summary(0).starts_with("FLAC is the most widely supported lossless format for "
                                       "digital audio files.  The FLAC format will allow your "
                                       "audio files"));
    EXPECT_NE(summary(0).find("sound quality.\n\rMost uncompressed"), std::string::npos);
    EXPECT_NE(summary(1).find("allow your  audio files"), std::string::npos);
    EXPECT_NE(summary(1).find("quality.\n\r*Note: Audio files of this format are sometimes "
                              "referred to as Ape files.\n\rLike the FLAC"),
              std::string::npos);
    EXPECT_NE(summary(2).find("human ear  and then"), std::string::npos);
    // The Mp3 summary is the only one without a final full stop.
    EXPECT_TRUE(summary(2).ends_with("oringal audio file's sound-definition"));
    EXPECT_TRUE(summary(3).ends_with("comparable to Mp3 and Windows Media Audio files."));
    EXPECT_TRUE(summary(4).ends_with("most prevalent audio fomat in the digital music and "
                                     "professional audio industries."));
    EXPECT_NE(summary(5).find("Monkey's Audio(APE) formats"), std::string::npos);
    EXPECT_NE(summary(6).find("Windows Media Audio , similar to Mp3"), std::string::npos);
    EXPECT_TRUE(summary(6).ends_with("comparable to OggVorbis and Mp3 files."));

    const std::size_t lengths[] = {424, 523, 597, 533, 356, 385, 611};
    const std::size_t breaks[] = {1, 2, 2, 2, 1, 1, 2};
    for (int i = 0; i < 7; ++i) {
        const std::string text = summary(i);
        EXPECT_EQ(text.size(), lengths[i]) << i;
        std::size_t count = 0;
        for (std::size_t at = text.find("\n\r"); at != std::string::npos;
             at = text.find("\n\r", at + 2))
            ++count;
        EXPECT_EQ(count, breaks[i]) << i;
        // Every line feed is followed by a carriage return, never the other way round.
        EXPECT_EQ(text.find("\r\n"), std::string::npos) << i;
    }
}

} // namespace
