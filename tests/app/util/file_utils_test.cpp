// Text shortening with a width measure, file sizes and their display text.
#include "app/util/file_utils.h"
#include "tests/support/tools.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace {

using namespace qm;
namespace fs = std::filesystem;

class TempFolder : public TempDir {
public:
    std::string File(std::string_view name, std::uintmax_t size) const {
        const fs::path file = Path() / name;
        std::ofstream(file, std::ios::binary).put('x');
        fs::resize_file(file, size); // sparse: sizes of gigabytes cost no disk
        return file.string();
    }
};

TEST(ShortenText, CharacterLimit) {
    const std::string text46(46, 'a');
    const std::string shortened = ShortenText(text46, 45);
    EXPECT_EQ(shortened, std::string(42, 'a') + "...");
    EXPECT_EQ(ShortenText(std::string(45, 'b'), 45), std::string(45, 'b'));
    EXPECT_EQ(ShortenText("", 0), "");
    EXPECT_EQ(ShortenText("abcdef", 3), "...");
    EXPECT_EQ(ShortenText("abcdef", 1), "..."); // nothing of the text fits
    EXPECT_EQ(ShortenText("abcdef", 4), "a...");
}

TEST(ShortenText, NeverSplitsAUtf8Character) {
    // "éééééé": six characters of two bytes each.
    std::string text;
    for (int i = 0; i < 6; ++i)
        text += "\xC3\xA9";
    EXPECT_EQ(CharacterCount(text), 6);
    EXPECT_EQ(ShortenText(text, 6), text);
    EXPECT_EQ(ShortenText(text, 5), "\xC3\xA9\xC3\xA9...");
}

TEST(ShortenText, UsesTheGivenMeasure) {
    // A proportional font: 'W' is wide, '.' narrow, everything else medium.
    int calls = 0;
    const TextWidthMeasure pixels = [&calls](std::string_view text) {
        ++calls;
        int width = 0;
        for (const char c : text)
            width += c == 'W' ? 10 : c == '.' ? 2 : 5;
        return width;
    };
    EXPECT_EQ(ShortenText("abc", 15, pixels), "abc");
    // "WWWWaaaa" = 60 > 40; "WWW..." = 36 fits, "WWWW..." = 46 does not.
    EXPECT_EQ(ShortenText("WWWWaaaa", 40, pixels), "WWW...");
    // "aaaaWWWW": "aaaaW..." = 36 fits, "aaaaWW..." = 46 does not.
    EXPECT_EQ(ShortenText("aaaaWWWW", 40, pixels), "aaaaW...");

    // Long texts are searched, not measured prefix by prefix.
    calls = 0;
    const std::string longText(10000, 'a');
    const std::string result = ShortenText(longText, 506, pixels);
    EXPECT_EQ(result, std::string(100, 'a') + "...");
    EXPECT_LT(calls, 40);
}

TEST(FileSizeText, Units) {
    EXPECT_EQ(FileSizeText(std::uint64_t{0}), "0");
    EXPECT_EQ(FileSizeText(std::uint64_t{1}), "1 KB");
    EXPECT_EQ(FileSizeText(std::uint64_t{1024}), "1 KB");
    EXPECT_EQ(FileSizeText(std::uint64_t{1025}), "1 KB");
    EXPECT_EQ(FileSizeText(std::uint64_t{1535}), "1 KB");
    EXPECT_EQ(FileSizeText(std::uint64_t{1536}), "2 KB"); // half rounds up
    EXPECT_EQ(FileSizeText(std::uint64_t{1000000}), "977 KB");
    EXPECT_EQ(FileSizeText(std::uint64_t{1000001}), "1 MB");
    EXPECT_EQ(FileSizeText(std::uint64_t{1500000}), "1.5 MB");
    EXPECT_EQ(FileSizeText(std::uint64_t{1234567}), "1.23 MB");
    EXPECT_EQ(FileSizeText(std::uint64_t{1235000}), "1.24 MB");
    EXPECT_EQ(FileSizeText(std::uint64_t{1234999}), "1.23 MB");
    EXPECT_EQ(FileSizeText(std::uint64_t{1009999}), "1.01 MB");
    EXPECT_EQ(FileSizeText(std::uint64_t{1000000000}), "1000 MB");
    EXPECT_EQ(FileSizeText(std::uint64_t{1000000001}), "1 GB");
    EXPECT_EQ(FileSizeText(std::uint64_t{4294967295}), "4.29 GB");
    EXPECT_EQ(FileSizeText(std::uint64_t{5000000000}), "5 GB");
    EXPECT_EQ(FileSizeText(std::uint64_t{12345678901}), "12.35 GB");
    EXPECT_EQ(FileSizeText(UINT64_MAX), "18446744073.71 GB");
}

TEST(FileSizeText, DecimalSeparatorIsTheCallersChoice) {
    EXPECT_EQ(FileSizeText(std::uint64_t{1500000}, ","), "1,5 MB");
    EXPECT_EQ(FileSizeText(std::uint64_t{2000000}, ","), "2 MB");
    EXPECT_EQ(UserDecimalSeparator(), "."); // tests run in the "C" locale
}

TEST(FileSizes, OfFilesOnDisk) {
    const TempFolder folder;
    EXPECT_EQ(ReadFileSize(folder.File("empty.wav", 0)), 0u);
    EXPECT_EQ(FileSizeText(folder.File("empty.wav", 0)), "0");
    const std::string medium = folder.File("medium.wav", 1500000);
    EXPECT_EQ(ReadFileSize(medium), 1500000u);
    EXPECT_EQ(FileSizeOf(medium), std::uint64_t{1500000});
    EXPECT_EQ(FileSizeText(medium), "1.5 MB");
}

TEST(FileSizes, LargeFilesKeepTheirTrueSizeText) {
    const TempFolder folder;
    const std::string large = folder.File("large.flac", 5000000000);
    EXPECT_EQ(FileSizeOf(large), std::uint64_t{5000000000});
    EXPECT_EQ(ReadFileSize(large), static_cast<std::uint32_t>(5000000000 & 0xFFFFFFFF));
    EXPECT_EQ(FileSizeText(large), "5 GB");
}

TEST(FileSizes, UnreadablePathsHaveNoSize) {
    const TempFolder folder;
    const std::string missing = (folder.Path() / "missing.wav").string();
    EXPECT_EQ(ReadFileSize(missing), InvalidFileSize);
    EXPECT_EQ(FileSizeOf(missing), std::nullopt);
    EXPECT_EQ(FileSizeText(missing), "");                             // not a made-up 4.29 GB
    EXPECT_EQ(ReadFileSize(folder.Path().string()), InvalidFileSize); // a folder is not a file

    // A named pipe must neither block the caller nor pass for a file.
    const std::string pipe = (folder.Path() / "pipe.wav").string();
    ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
    EXPECT_EQ(ReadFileSize(pipe), InvalidFileSize);
}

TEST(IsShellLink, ExtensionInAnyCase) {
    EXPECT_TRUE(IsShellLink("/desk/song.lnk"));
    EXPECT_TRUE(IsShellLink("/desk/song.LNK"));
    EXPECT_TRUE(IsShellLink("/desk/song.mp3.Lnk"));
    EXPECT_FALSE(IsShellLink("/desk/song.lnk.mp3"));
    EXPECT_FALSE(IsShellLink("/desk.lnk/song"));
    EXPECT_FALSE(IsShellLink("/desk/lnk"));
}

} // namespace
