// libTTALib.so, bound the way the TTA source binds it: members found by their mangled names and
// called on a 28-byte object storage. Tags around the data are skipped from either start, and bad
// input fails with an exception instead of a crash. Every width and channel count, and real
// files, decode exactly: tta_in_test, through the source.
#include "platform/ttalib/tta_decoder_api.h"
#include "tests/support/tools.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <dlfcn.h>
#include <fcntl.h>
#include <set>
#include <unistd.h>

namespace {

std::string LibraryPath() {
    return BinDir() + "/Libs/" + TTALib::kLibraryFile;
}

// The library's members as the adapter binds them.
class TtaLibrary {
public:
    TtaLibrary() : handle_(::dlopen(LibraryPath().c_str(), RTLD_NOW | RTLD_LOCAL)) {
        if (handle_ == nullptr) return;
        construct = Bind<TTALib::DecoderConstructor>(TTALib::kConstructorName);
        destruct = Bind<TTALib::DecoderDestructor>(TTALib::kDestructorName);
        channels = Bind<TTALib::DecoderGetValue>(TTALib::kGetNumChannelsName);
        bits = Bind<TTALib::DecoderGetValue>(TTALib::kGetBitsPerSampleName);
        rate = Bind<TTALib::DecoderGetValue>(TTALib::kGetSampleRateName);
        length = Bind<TTALib::DecoderGetValue>(TTALib::kGetDataLengthName);
        getBlock = Bind<TTALib::DecoderGetBlock>(TTALib::kGetBlockName);
    }
    // Never unloaded, as the program's loader keeps its libraries to the end.
    ~TtaLibrary() = default;
    TtaLibrary(const TtaLibrary&) = delete;
    TtaLibrary& operator=(const TtaLibrary&) = delete;

    bool Complete() const {
        return construct && destruct && channels && bits && rate && length && getBlock;
    }

    TTALib::DecoderConstructor construct = nullptr;
    TTALib::DecoderDestructor destruct = nullptr;
    TTALib::DecoderGetValue channels = nullptr, bits = nullptr, rate = nullptr, length = nullptr;
    TTALib::DecoderGetBlock getBlock = nullptr;

private:
    template <class F> F Bind(const char* name) {
        return reinterpret_cast<F>(::dlsym(handle_, name));
    }
    void* handle_;
};

TtaLibrary& Library() {
    static TtaLibrary library;
    return library;
}

struct Decoded {
    int32_t channels = 0, bits = 0, rate = 0, length = 0;
    std::vector<uint8_t> pcm; // packed as the TTA source packs the blocks
    std::string error;        // the exception's message, empty when none was thrown
};

// The TTA source's packing of block values: 8-bit offset to unsigned, else the low bytes.
void AppendPacked(std::vector<uint8_t>& out, const int32_t* values, size_t count, int bits) {
    const int bytes = (bits + 7) / 8;
    for (size_t i = 0; i < count; ++i) {
        const uint32_t v = uint32_t(values[i]);
        if (bytes == 1) {
            out.push_back(uint8_t(v + 128));
        } else {
            for (int b = 0; b < bytes; ++b)
                out.push_back(uint8_t(v >> (8 * b)));
        }
    }
}

// Decodes from the descriptor's current position through the bound members, as the adapter
// does: storage of the adapter's size, every call guarded.
Decoded DecodeDescriptor(int fd) {
    TtaLibrary& tta = Library();
    Decoded result;
    alignas(TTALib::kDecoderStorageAlign) std::byte storage[TTALib::kDecoderStorageSize];
    try {
        tta.construct(storage, fd);
    } catch (const std::exception& e) {
        result.error = e.what();
        return result;
    }
    try {
        result.channels = tta.channels(storage);
        result.bits = tta.bits(storage);
        result.rate = tta.rate(storage);
        result.length = tta.length(storage);
        for (int guard = 0; guard < 100000; ++guard) {
            int32_t* block = nullptr;
            const int32_t frames = tta.getBlock(storage, &block);
            if (frames == 0) {
                // The end stays the end.
                EXPECT_EQ(tta.getBlock(storage, &block), 0);
                break;
            }
            EXPECT_GT(frames, 0);
            EXPECT_NE(block, nullptr);
            if (frames < 0 || block == nullptr) break;
            AppendPacked(result.pcm, block, size_t(frames) * size_t(result.channels), result.bits);
        }
    } catch (const std::exception& e) {
        result.error = e.what();
    }
    tta.destruct(storage);
    return result;
}

// Decodes a file from byte `offset` on; the descriptor must outlive the decoder untouched.
Decoded DecodeFile(const std::string& path, off_t offset = 0) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    EXPECT_GE(fd, 0) << path;
    if (fd < 0) return {};
    EXPECT_EQ(::lseek(fd, offset, SEEK_SET), offset);
    Decoded result = DecodeDescriptor(fd);
    EXPECT_EQ(::fcntl(fd, F_GETFD), FD_CLOEXEC) << "the decoder closed the caller's descriptor";
    ::close(fd);
    return result;
}

struct Layout {
    int bits, channels, rate;
};

// 1.3 s of tone and noise, and ffmpeg's TTA file of it (an APEv2 tag behind the frames).
std::string MakeTta(const Layout& layout, const std::string& raw) {
    MakeTonesAndNoise(raw, layout.bits, layout.channels, layout.rate);
    const std::string tta = raw + ".tta";
    Tool("ffmpeg -nostdin -v error -y -f " + std::string(RawPcmFormat(layout.bits)) + " -ar " +
         std::to_string(layout.rate) + " -ac " + std::to_string(layout.channels) + " -i " +
         Quote(raw) + " -c:a tta " + Quote(tta));
    return tta;
}

class TtaLibTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(std::filesystem::exists(LibraryPath())) << LibraryPath();
        ASSERT_TRUE(Library().Complete()) << "a decoder member is not exported";
        ASSERT_TRUE(HaveTool("ffmpeg"));
    }
    TempDir dir_;
};

TEST(TtaLibExports, ExactlyTheDecoderMembersUnderTheirMangledNames) {
    ASSERT_TRUE(HaveTool("nm"));
    const CommandResult nm = RunCommand("nm -D --defined-only " + Quote(LibraryPath()));
    ASSERT_EQ(nm.status, 0);
    std::set<std::string> names;
    for (const std::string& line : Lines(nm.output)) {
        const size_t space = line.rfind(' ');
        if (space != std::string::npos) names.insert(line.substr(space + 1));
    }
    for (const char* name :
         {TTALib::kConstructorName, TTALib::kDestructorName, TTALib::kGetNumChannelsName,
          TTALib::kGetBitsPerSampleName, TTALib::kGetSampleRateName, TTALib::kGetDataLengthName,
          TTALib::kGetBlockName})
        EXPECT_TRUE(names.count(name)) << name << " is not exported";
    // Beside them only the base-object constructor and destructor the compiler emits as aliases.
    const std::set<std::string> aliases = {"_ZN6TTALib10TTADecoderC2Ei",
                                           "_ZN6TTALib10TTADecoderD2Ev"};
    for (const std::string& name : names) {
        const bool member = name == TTALib::kConstructorName || name == TTALib::kDestructorName ||
                            name == TTALib::kGetNumChannelsName ||
                            name == TTALib::kGetBitsPerSampleName ||
                            name == TTALib::kGetSampleRateName ||
                            name == TTALib::kGetDataLengthName || name == TTALib::kGetBlockName;
        EXPECT_TRUE(member || aliases.count(name)) << "unexpected export " << name;
    }
}

TEST_F(TtaLibTest, TagsAroundTheDataAreSkippedFromEitherStartPosition) {
    const Layout layout{16, 2, 44100};
    const std::string raw = dir_ / "source.raw";
    const std::vector<uint8_t> tta = ReadFileBytes(MakeTta(layout, raw));
    const std::vector<uint8_t> source = ReadFileBytes(raw);

    // ID3v2.3 with one TIT2 frame and padding, size 4 + 10 + 6 + 100 in syncsafe bytes.
    std::vector<uint8_t> id3v2 = {'I', 'D', '3', 3, 0, 0, 0, 0, 0,   0,   'T', 'I', 'T',
                                  '2', 0,   0,   0, 6, 0, 0, 0, 'T', 'i', 't', 'l', 'e'};
    id3v2.resize(id3v2.size() + 100, 0);
    const size_t body = id3v2.size() - 10;
    id3v2[8] = uint8_t(body >> 7);
    id3v2[9] = uint8_t(body & 0x7F);
    std::vector<uint8_t> id3v1(128, 0);
    std::memcpy(id3v1.data(), "TAGSome title", 13);

    std::vector<uint8_t> tagged = id3v2;
    tagged.insert(tagged.end(), tta.begin(), tta.end());
    tagged.insert(tagged.end(), id3v1.begin(), id3v1.end());
    WriteFileBytes(dir_ / "tagged.tta", tagged);

    // The TTA source skips the ID3v2 tag itself; a decoder given the tag skips it too.
    for (off_t start : {off_t(id3v2.size()), off_t(0)}) {
        SCOPED_TRACE("decoding from byte " + std::to_string(start));
        const Decoded decoded = DecodeFile(dir_ / "tagged.tta", start);
        ASSERT_EQ(decoded.error, "");
        EXPECT_EQ(size_t(decoded.length) * 4, source.size());
        EXPECT_TRUE(decoded.pcm == source);
    }

    // Bytes before the descriptor's position are not the decoder's, whatever they hold.
    std::vector<uint8_t> junkInFront(333, 0xA5);
    junkInFront.insert(junkInFront.end(), tta.begin(), tta.end());
    WriteFileBytes(dir_ / "junk.tta", junkInFront);
    const Decoded afterJunk = DecodeFile(dir_ / "junk.tta", 333);
    ASSERT_EQ(afterJunk.error, "");
    EXPECT_TRUE(afterJunk.pcm == source);
}

TEST_F(TtaLibTest, WhatIsNotTtaThrowsAStdException) {
    const Decoded noDescriptor = DecodeDescriptor(-1);
    EXPECT_NE(noDescriptor.error, "");

    WriteFileBytes(dir_ / "empty.tta", {});
    EXPECT_NE(DecodeFile(dir_ / "empty.tta").error, "");

    MakeWav(dir_ / "tone.wav", 0.2);
    const Decoded wav = DecodeFile(dir_ / "tone.wav");
    EXPECT_NE(wav.error, "");
    EXPECT_TRUE(wav.pcm.empty());

    // A header that names 32-bit samples: TTA1, format 1, 2 channels, 32 bits, 44100 Hz.
    std::vector<uint8_t> header = {'T', 'T', 'A', '1', 1, 0, 2, 0, 32, 0, 0x44, 0xAC, 0, 0};
    header.resize(64, 0);
    WriteFileBytes(dir_ / "wide.tta", header);
    EXPECT_NE(DecodeFile(dir_ / "wide.tta").error, "");
}

} // namespace
