// The format catalogue: which files are admitted, which descriptor names them, which
// extension a target gives, and the exact texts the wizard shows.
#include "app/catalogue/format_catalogue.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

namespace {

using namespace qm;

// A file is admitted exactly when its extension (after the last slash and the last dot, in any
// case, whole: no piece of one, no ".wvc" correction file) names a source, and that source's
// descriptor then names it (".wv" is "WavPack", not the target's "WavePack"). A backslash is an
// ordinary character of a POSIX name, not a separator.
TEST(FormatCatalogue, FilesAreAdmittedAndNamedByTheirWholeExtensionInAnyCase) {
    const std::pair<const char*, const char*> cases[] = {
        {"/m/song.wav", "WAV"},
        {"/m/song.mp3", "MP3"},
        {"/m/song.ogg", "OGG"},
        {"/m/song.flac", "FLAC"},
        {"/m/song.wma", "WMA"},
        {"/m/clip.wmv", "WMV"},
        {"/m/song.ape", "APE"},
        {"/m/song.tta", "TTA"},
        {"/m/song.wv", "WavPack"},
        {"/m/song.m4a", "M4A"},
        {"/m/song.ofr", "OFR"},
        {"/m/song.tak", "TAK"},
        {"/m/clip.mp4", "MPEG4"},
        {"/m/a.b.flac", "FLAC"},
        {"song.wv", "WavPack"},
        {"/m/song.MP3", "MP3"},
        {"/m/song.FlAc", "FLAC"},
        {"/m/song.WV", "WavPack"},
        {"/a.b/c.ogg", "OGG"},
        {"/music/x\\y.mp3", "MP3"},
        {"/music/x.mp3\\y", ""},
        {"/music.wav/song", ""},
        {"/a.mp3/", ""},
        {"/m/song.fla", ""},
        {"/m/song.flacc", ""},
        {"/m/song.w", ""},
        {"/m/song.mp", ""},
        {"/m/song.", ""},
        {"/m/song", ""},
        {"", ""},
        {"/m/song.wvc", ""},
        {"/m/archive.mp3.zip", ""},
        // Other names of the same files; not (yet) .opus.
        {"/m/SONG.MPGA", "MP3"},
        {"/m/song.oga", "OGG"},
        {"/m/song.wvp", "WavPack"},
        {"/m/song.f4a", "M4A"},
        {"/m/clip.m4v", "MPEG4"},
        {"/m/clip.f4v", "MPEG4"},
        {"/m/clip.lrv", "MPEG4"},
        {"/m/song.opus", ""},
        {"/m/song.mpg", ""},
        {"/m/song.m4", ""}};
    for (const auto& [path, descriptor] : cases) {
        EXPECT_EQ(FormatDescriptorOfFile(path), descriptor) << path;
        EXPECT_EQ(IsSupportedAudioFile(path), *descriptor != 0) << path;
    }
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

TEST(FormatCatalogue, TargetListInWizardOrderWithItsNames) {
    const char* listTexts[] = {"FLAC",    "Monkey's Audio (Ape)", "Mp3", "OggVorbis", "Wav",
                               "WavPack", "Windows Media Audio"};
    const char* descriptors[] = {"FLAC", "APE", "MP3", "OGG", "WAV", "WavePack", "WMA"};
    const char* extensions[] = {".flac", ".ape", ".mp3", ".ogg", ".wav", ".wv", ".wma"};
    const char* cliNames[] = {"flac", "ape", "mp3", "ogg", "wav", "wv", "wma"};
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
        EXPECT_EQ(FindTargetByCliName(cliNames[i]), target);
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
    EXPECT_EQ(ExtensionOfDescriptor("WavPack"), ""); // the source form
    EXPECT_EQ(ExtensionOfDescriptor("mp3"), "");     // exact comparison
    EXPECT_EQ(ExtensionOfDescriptor(""), "");
    // Command-line names ignore case but must be whole.
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
