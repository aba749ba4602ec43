// Windows shortcut files built byte by byte: sound ones, truncated ones and ones whose sizes
// and offsets lie, then the file layer that follows a shortcut to an existing file.
#include "app/util/shell_link.h"
#include "tests/support/shell_link_bytes.h"
#include "tests/support/tools.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

namespace {

using namespace qm;
namespace fs = std::filesystem;
using namespace lnk;
Bytes IdList() {
    Bytes items;
    Put(items, 6, 2); // one item of six bytes
    Put(items, 0x1F50, 2);
    Put(items, 0xABCD, 2);
    Put(items, 0, 2); // terminal item
    Bytes bytes;
    Put(bytes, items.size(), 2);
    Put(bytes, items);
    return bytes;
}

Bytes Counted(std::u16string_view text) {
    Bytes bytes;
    Put(bytes, text.size(), 2);
    Put(bytes, Wide(text, false));
    return bytes;
}

// A shortcut as the shell writes it: item list, link information and UTF-16 texts.
Bytes FullLink(std::string_view target) {
    Bytes bytes = Header(HasIdList | HasLinkInfo | HasName | HasWorkingDir | HasArguments |
                             HasIconLocation | IsUnicode,
                         -3, 7, 0x0641);
    Put(bytes, IdList());
    Put(bytes, LinkInfo(target, "", nullptr));
    Put(bytes, Counted(u"My song"));
    Put(bytes, Counted(u"/music"));
    Put(bytes, Counted(u"--loud"));
    Put(bytes, Counted(u"/icons/note.ico"));
    return bytes;
}

TEST(ParseShellLink, FullShortcut) {
    const TShellLinkParse parsed = ParseShellLink(FullLink("/music/song.wav"));
    ASSERT_TRUE(parsed.Ok) << parsed.Error;
    EXPECT_EQ(parsed.Error, "");
    const TLinkInfo& link = parsed.Link;
    EXPECT_EQ(link.TargetPath, "/music/song.wav");
    EXPECT_TRUE(link.HasItemIdList);
    EXPECT_EQ(link.Description, "My song");
    EXPECT_EQ(link.WorkingFolder, "/music");
    EXPECT_EQ(link.Arguments, "--loud");
    EXPECT_EQ(link.IconLocation, "/icons/note.ico");
    EXPECT_EQ(link.IconIndex, -3);
    EXPECT_EQ(link.HotKey, 0x0641);
    EXPECT_EQ(link.ShowState, 1); // minimised without activation
}

TEST(ParseShellLink, ShowStatesAndDefaultIcon) {
    const std::pair<std::uint32_t, std::uint8_t> states[] = {
        {1, 0}, {2, 1}, {3, 2}, {7, 1}, {0, 0}};
    for (const auto& [command, state] : states) {
        Bytes bytes = Header(HasLinkInfo, 0, command);
        Put(bytes, LinkInfo("/a/b.mp3", "", nullptr));
        const TShellLinkParse parsed = ParseShellLink(bytes);
        ASSERT_TRUE(parsed.Ok) << parsed.Error;
        EXPECT_EQ(parsed.Link.ShowState, state) << command;
        EXPECT_FALSE(parsed.Link.HasItemIdList);
        EXPECT_EQ(parsed.Link.IconLocation, "/a/b.mp3"); // none named: the target
    }
}

TEST(ParseShellLink, PathTextsBecomeUtf8) {
    // Single-byte paths are ISO-8859-1; the suffix is appended to the base.
    Bytes latin = Header(HasLinkInfo);
    Put(latin, LinkInfo("/m/caf\xE9/", "song.ogg", nullptr));
    EXPECT_EQ(ParseShellLink(latin).Link.TargetPath, "/m/caf\xC3\xA9/song.ogg");

    // The UTF-16 form wins over the single-byte one, surrogate pairs included.
    const std::u16string wide = u"/m/\u00E9\U0001F3B5.flac";
    Bytes unicode = Header(HasLinkInfo);
    Put(unicode, LinkInfo("/m/?.flac", "", &wide));
    EXPECT_EQ(ParseShellLink(unicode).Link.TargetPath, "/m/\xC3\xA9\xF0\x9F\x8E\xB5.flac");

    // An unpaired surrogate is replaced, never passed on as invalid UTF-8.
    const std::u16string broken = std::u16string(u"/m/") + char16_t(0xD83C) + u"x.wav";
    Bytes lone = Header(HasLinkInfo);
    Put(lone, LinkInfo("/m/x.wav", "", &broken));
    EXPECT_EQ(ParseShellLink(lone).Link.TargetPath, "/m/\xEF\xBF\xBDx.wav");

    // Texts of a shortcut without the Unicode flag are single bytes.
    Bytes narrow = Header(HasLinkInfo | HasArguments);
    Put(narrow, LinkInfo("/m/x.wav", "", nullptr));
    Put(narrow, 3, 2);
    Put(narrow, Bytes{std::byte{'-'}, std::byte{'v'}, std::byte{0xFC}});
    EXPECT_EQ(ParseShellLink(narrow).Link.Arguments, "-v\xC3\xBC");
}

TEST(ParseShellLink, ShortcutsWithoutALocalPath) {
    Bytes network = Header(HasLinkInfo);
    Put(network, LinkInfo("/ignored", "", nullptr, 2)); // network form only
    TShellLinkParse parsed = ParseShellLink(network);
    EXPECT_TRUE(parsed.Ok);
    EXPECT_EQ(parsed.Link.TargetPath, "");

    Bytes forced = Header(HasLinkInfo | ForceNoLinkInfo);
    Put(forced, LinkInfo("/a/b.wav", "", nullptr));
    parsed = ParseShellLink(forced);
    EXPECT_TRUE(parsed.Ok);
    EXPECT_EQ(parsed.Link.TargetPath, "");

    parsed = ParseShellLink(Header(HasIdList | IsUnicode));
    EXPECT_FALSE(parsed.Ok); // the item list the flags promise is missing
}

TEST(ParseShellLink, RejectsOtherFiles) {
    EXPECT_EQ(ParseShellLink({}).Error, "The shortcut is shorter than its header.");
    Bytes wrongSize = FullLink("/a.wav");
    wrongSize[0] = std::byte{0x4D};
    EXPECT_EQ(ParseShellLink(wrongSize).Error, "The file is not a shell shortcut.");
    Bytes wrongClass = FullLink("/a.wav");
    wrongClass[19] = std::byte{0x47};
    EXPECT_FALSE(ParseShellLink(wrongClass).Ok);
    const std::string riff = "RIFF\x24\x00\x00\x00WAVEfmt " + std::string(80, '\0');
    EXPECT_FALSE(ParseShellLink(std::as_bytes(std::span(riff))).Ok);
}

TEST(ParseShellLink, EveryTruncationFailsCleanly) {
    for (const bool unicode : {false, true}) {
        const std::u16string wide = u"/music/song.wav";
        Bytes full = Header(HasIdList | HasLinkInfo | HasName | IsUnicode);
        Put(full, IdList());
        Put(full, LinkInfo("/music/song.wav", "", unicode ? &wide : nullptr));
        Put(full, Counted(u"name"));
        ASSERT_TRUE(ParseShellLink(full).Ok);
        for (std::size_t length = 0; length < full.size(); ++length) {
            const TShellLinkParse parsed = ParseShellLink(std::span(full).first(length));
            EXPECT_FALSE(parsed.Ok) << length;
            EXPECT_FALSE(parsed.Error.empty()) << length;
        }
    }
}

TEST(ParseShellLink, LyingSizesAndOffsets) {
    const std::size_t linkInfoAt = 0x4C;
    const auto base = [] {
        Bytes bytes = Header(HasLinkInfo | HasName | IsUnicode);
        Put(bytes, LinkInfo("/music/song.wav", "", nullptr));
        Put(bytes, Counted(u"name"));
        return bytes;
    };
    ASSERT_EQ(ParseShellLink(base()).Link.TargetPath, "/music/song.wav");
    const auto withField = [&](std::size_t offset, std::uint32_t value) {
        Bytes bytes = base();
        PutAt(bytes, offset, value);
        return ParseShellLink(bytes);
    };
    const std::uint32_t infoSize = static_cast<std::uint32_t>(base().size() - linkInfoAt - 10);

    // Block sizes that run past the end or cannot hold a header.
    EXPECT_EQ(withField(linkInfoAt, 0xFFFFFFFF).Error,
              "The shortcut's link information runs past the end of the file.");
    EXPECT_FALSE(withField(linkInfoAt, 0x1B).Ok);
    EXPECT_FALSE(withField(linkInfoAt, 0).Ok);
    // A header larger than its block.
    EXPECT_EQ(withField(linkInfoAt + 4, infoSize + 1).Error,
              "The shortcut's link information header is damaged.");
    EXPECT_FALSE(withField(linkInfoAt + 4, 0xFFFFFFFF).Ok);
    // Path offsets past the block (even where the file still has bytes), or into its header.
    EXPECT_EQ(withField(linkInfoAt + 16, infoSize).Error,
              "The shortcut's local path lies outside its link information.");
    EXPECT_FALSE(withField(linkInfoAt + 16, infoSize + 2).Ok);
    EXPECT_FALSE(withField(linkInfoAt + 16, 0xFFFFFFF0).Ok);
    EXPECT_FALSE(withField(linkInfoAt + 16, 4).Ok);
    EXPECT_EQ(withField(linkInfoAt + 24, 0x7FFFFFFF).Error,
              "The shortcut's path suffix lies outside its link information.");

    // A block that ends before the suffix's terminator: the suffix must not be read on into
    // the texts that follow, which hold zero bytes of their own.
    Bytes unterminated = base();
    PutAt(unterminated, linkInfoAt, infoSize - 1);
    EXPECT_FALSE(ParseShellLink(unterminated).Ok);

    // A text count beyond the end.
    Bytes longText = base();
    longText[longText.size() - 10] = std::byte{0xFF};
    EXPECT_EQ(ParseShellLink(longText).Error, "The shortcut's texts run past the end of the file.");

    // An item list longer than the file.
    Bytes idList = Header(HasIdList);
    Put(idList, 0xFFFF, 2);
    Put(idList, 0, 16);
    EXPECT_EQ(ParseShellLink(idList).Error,
              "The shortcut's item identifier list runs past the end of the file.");

    // A UTF-16 path whose terminator would lie half outside the block.
    const std::u16string wide = u"/a.wav";
    Bytes odd = Header(HasLinkInfo);
    Put(odd, LinkInfo("/a.wav", "", &wide));
    const std::uint32_t oddSize = static_cast<std::uint32_t>(odd.size() - linkInfoAt);
    PutAt(odd, linkInfoAt + 28, oddSize - 1);
    EXPECT_FALSE(ParseShellLink(odd).Ok);
}

TEST(ParseShellLink, RandomDamageNeverReadsOutOfBounds) {
    const std::u16string wide = u"/music/\u00E9.wav";
    Bytes good = Header(HasIdList | HasLinkInfo | HasName | HasIconLocation | IsUnicode);
    Put(good, IdList());
    Put(good, LinkInfo("/music/e.wav", "", &wide));
    Put(good, Counted(u"name"));
    Put(good, Counted(u"/icon"));
    std::mt19937 random(20240607);
    int accepted = 0;
    for (int round = 0; round < 20000; ++round) {
        Bytes bytes = good;
        const int changes = 1 + static_cast<int>(random() % 4);
        for (int i = 0; i < changes; ++i)
            bytes[0x4C + random() % (bytes.size() - 0x4C)] = std::byte(random());
        bytes.resize(bytes.size() - random() % 8);
        const TShellLinkParse parsed = ParseShellLink(bytes);
        EXPECT_EQ(parsed.Ok, parsed.Error.empty());
        accepted += parsed.Ok;
    }
    EXPECT_GT(accepted, 0); // some damage lands in texts and is harmless
}

class ShellLinkFiles : public ::testing::Test {
protected:
    std::string Write(std::string_view name, const Bytes& bytes) {
        return WriteLink(Folder / name, bytes);
    }
    TempDir dir_;
    const fs::path Folder = dir_.Path();
};

TEST_F(ShellLinkFiles, ResolvesOnlyToExistingFiles) {
    const std::string song = Write("song.wav", Bytes(10));
    EXPECT_EQ(ResolveShellLink(Write("song.lnk", FullLink(song))), song);

    fs::create_directory(Folder / "album");
    EXPECT_EQ(ResolveShellLink(Write("album.lnk", FullLink((Folder / "album").string()))), "");
    EXPECT_EQ(ResolveShellLink(Write("gone.lnk", FullLink((Folder / "gone.wav").string()))), "");
    EXPECT_EQ(ResolveShellLink(Write("win.lnk", FullLink("C:\\Music\\song.wav"))), "");
    // A relative target would depend on the current folder.
    const fs::path previous = fs::current_path();
    fs::current_path(Folder);
    EXPECT_EQ(ResolveShellLink(Write("relative.lnk", FullLink("song.wav"))), "");
    fs::current_path(previous);
}

TEST_F(ShellLinkFiles, DamagedMissingAndOversizedShortcuts) {
    const std::string song = Write("song.wav", Bytes(10));
    Bytes truncated = FullLink(song);
    truncated.resize(truncated.size() / 2);
    EXPECT_EQ(ResolveShellLink(Write("half.lnk", truncated)), "");
    EXPECT_EQ(ReadShellLink((Folder / "half.lnk").string()).Ok, false);

    EXPECT_EQ(ReadShellLink((Folder / "none.lnk").string()).Error,
              "The shortcut file cannot be opened.");
    EXPECT_EQ(ResolveShellLink((Folder / "none.lnk").string()), "");
    EXPECT_EQ(ResolveShellLink(Folder.string()), "");

    Bytes huge = FullLink(song);
    huge.resize(MaxShellLinkFileSize + 1);
    EXPECT_EQ(ReadShellLink(Write("huge.lnk", huge)).Error,
              "The shortcut file cannot be read or is too large.");
    Bytes padded = FullLink(song);
    padded.resize(MaxShellLinkFileSize); // trailing blocks are allowed up to the limit
    EXPECT_EQ(ResolveShellLink(Write("padded.lnk", padded)), song);
}

} // namespace
