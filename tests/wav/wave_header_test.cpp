// The WAVE header reader on hand-built bytes, and the headers the writer produces.
#include "tests/wav/wav_test_support.h"
#include "wav/memory_stream.h"
#include "wav/wave_bytes.h"
#include "wav/wave_header.h"
#include "wav/wave_header_writer.h"

#include <gtest/gtest.h>

#include <random>

namespace {

WaveHeader Parse(const std::vector<uint8_t>& bytes) {
    SpanByteSource source(bytes);
    return ReadWaveHeader(source);
}

std::vector<uint8_t> ImaFormat(uint16_t channels, uint16_t block, uint16_t bits = 4) {
    return Bytes{}
        .U16(17)
        .U16(channels)
        .U32(44100)
        .U32(22000)
        .U16(block)
        .U16(bits)
        .U16(2)
        .U16(uint16_t(ImaFramesPerBlock(block, channels)))
        .data;
}

std::vector<uint8_t> MsFormat(uint16_t channels, uint16_t block, uint16_t samplesPerBlock,
                              uint16_t coefficients) {
    Bytes b;
    b.U16(2).U16(channels).U32(22050).U32(11000).U16(block).U16(4);
    b.U16(uint16_t(4 + 4 * coefficients)).U16(samplesPerBlock).U16(coefficients);
    for (uint16_t i = 0; i < coefficients; ++i)
        b.U16(uint16_t(256 - i)).U16(uint16_t(-int(i)));
    return b.data;
}

std::vector<uint8_t> ExtensibleFormat(uint16_t bits, const std::array<uint8_t, 16>& guid) {
    Bytes b;
    b.Append(PcmFormat(2, 48000, bits, 0xFFFE)).U16(22).U16(bits).U32(3);
    b.data.insert(b.data.end(), guid.begin(), guid.end());
    return b.data;
}

std::vector<uint8_t> Riff(const Bytes& body) {
    return Bytes{}
        .Text("RIFF")
        .U32(uint32_t(body.data.size() + 4))
        .Text("WAVE")
        .Append(body.data)
        .data;
}

} // namespace

TEST(WaveHeader, FindsRiffAndWaveBehindJunkAndReadsThePcmFormat) {
    Bytes file;
    file.Fill(300, 0xAB).Text("RIFF").U32(0).Text("junk").Text("WAVE");
    file.Chunk("fmt ", PcmFormat(2, 44100, 24)).Chunk("data", std::vector<uint8_t>(60, 1));
    const WaveHeader h = Parse(file.data);
    EXPECT_EQ(h.type, wtPCM);
    EXPECT_EQ(h.riffOffset, 300u);
    EXPECT_EQ(h.channels, 2);
    EXPECT_EQ(h.sampleRate, 44100u);
    EXPECT_EQ(h.bitsPerSample, 24);
    EXPECT_EQ(h.blockAlign, 6);
    ASSERT_TRUE(h.hasData);
    EXPECT_EQ(h.dataOffset, file.data.size() - 60);
    EXPECT_EQ(h.dataLength, 60u);
    EXPECT_FALSE(h.truncated);
    EXPECT_TRUE(IsReadableFormat(h));
}

TEST(WaveHeader, CodesIgnoreCaseAndPadBytesAreSkipped) {
    Bytes body;
    body.Chunk("FMT ", PcmFormat(1, 8000, 8)).Chunk("note", {1, 2, 3}).Fill(1, 0);
    body.Chunk("DATA", {10, 20, 30});
    auto bytes = Bytes{}.Text("riff").U32(0).Text("wave").Append(body.data).data;
    const WaveHeader h = Parse(bytes);
    EXPECT_EQ(h.type, wtPCM);
    ASSERT_TRUE(h.hasData);
    EXPECT_EQ(h.dataLength, 3u);
    EXPECT_EQ(bytes[h.dataOffset], 10);
}

TEST(WaveHeader, DataSizePlaceholdersReadToTheEndAndOversizeMeansTruncated) {
    for (uint32_t placeholder : {0u, 0xFFFFFFFFu, 0x7FFFF000u}) {
        Bytes body;
        body.Chunk("fmt ", PcmFormat(1, 8000, 16)).Text("data").U32(placeholder).Fill(100, 7);
        const WaveHeader h = Parse(Riff(body));
        EXPECT_EQ(h.dataLength, 100u) << placeholder;
        EXPECT_FALSE(h.truncated) << placeholder;
    }
    Bytes body;
    body.Chunk("fmt ", PcmFormat(1, 8000, 16)).Text("data").U32(5000).Fill(100, 7);
    const WaveHeader cut = Parse(Riff(body));
    EXPECT_EQ(cut.declaredDataSize, 5000u);
    EXPECT_EQ(cut.dataLength, 100u);
    EXPECT_TRUE(cut.truncated);

    Bytes exact;
    exact.Chunk("fmt ", PcmFormat(1, 8000, 16)).Chunk("data", std::vector<uint8_t>(40, 1));
    exact.Chunk("LIST", std::vector<uint8_t>(30, 2));
    const WaveHeader h = Parse(Riff(exact));
    EXPECT_EQ(h.dataLength, 40u);
    EXPECT_FALSE(h.truncated);
}

namespace {

// The bytes given, then zeros up to a size too large to build: a file of more than 4 GiB.
class HugeByteSource final : public ByteSource {
public:
    HugeByteSource(std::vector<uint8_t> head, uint64_t size)
        : head_(std::move(head)), size_(size) {}
    uint64_t Size() override { return size_; }
    size_t ReadAt(uint64_t offset, std::span<uint8_t> out) override {
        const size_t n =
            size_t(std::min<uint64_t>(out.size(), offset < size_ ? size_ - offset : 0));
        for (size_t i = 0; i < n; ++i)
            out[i] = offset + i < head_.size() ? head_[size_t(offset + i)] : 0;
        return n;
    }

private:
    std::vector<uint8_t> head_;
    uint64_t size_;
};

} // namespace

// A 'data' chunk that is the last one and runs more than 4 GiB past its 32-bit size by a whole
// number of 4 GiB (but for a pad byte) had its size wrapped: the audio is all of it. Anything
// else keeps the stated size.
TEST(WaveHeader, SizesThatWrappedPast4GiBReadToTheEnd) {
    constexpr uint64_t k4GiB = uint64_t(1) << 32;
    Bytes head;
    head.Text("RIFF").U32(0).Text("WAVE").Chunk("fmt ", PcmFormat(2, 44100, 16));
    head.Text("data").U32(4000);
    const uint64_t dataOffset = head.data.size();
    for (const uint64_t extra : {uint64_t(0), uint64_t(1)}) {
        HugeByteSource wrapped(head.data, dataOffset + k4GiB + 4000 + extra);
        const WaveHeader h = ReadWaveHeader(wrapped);
        EXPECT_EQ(h.dataLength, k4GiB + 4000) << extra;
        EXPECT_FALSE(h.truncated);
    }
    for (const uint64_t audio : {k4GiB + 4002, k4GiB - 4000, uint64_t(8000)}) {
        HugeByteSource other(head.data, dataOffset + audio);
        const WaveHeader h = ReadWaveHeader(other);
        EXPECT_EQ(h.dataLength, 4000u) << audio;
        EXPECT_FALSE(h.truncated);
    }
}

// RF64 and BW64: a data size of 0xFFFFFFFF defers to 'ds64', whose size may also be cut short.
TEST(WaveHeader, Rf64SizesComeFromTheDs64Chunk) {
    for (const char* code : {"RF64", "BW64", "rf64"}) {
        SCOPED_TRACE(code);
        for (const uint64_t stated : {uint64_t(100), uint64_t(5000)}) {
            Bytes file;
            file.Text(code).U32(0xFFFFFFFF).Text("WAVE");
            file.Append(Bytes{}
                            .Text("ds64")
                            .U32(28)
                            .U32(0)
                            .U32(0)
                            .U32(uint32_t(stated))
                            .U32(0)
                            .U32(50)
                            .U32(0)
                            .U32(0)
                            .data);
            file.Chunk("fmt ", PcmFormat(1, 8000, 16)).Text("data").U32(0xFFFFFFFF).Fill(100, 3);
            const WaveHeader h = Parse(file.data);
            EXPECT_TRUE(h.rf64);
            EXPECT_TRUE(IsReadableFormat(h));
            EXPECT_EQ(h.declaredDataSize, stated);
            EXPECT_EQ(h.dataLength, 100u);
            EXPECT_EQ(h.truncated, stated > 100);
        }
    }
    // A size of its own in an RF64 file counts as in any other.
    Bytes small;
    small.Text("RF64").U32(0).Text("WAVE").Chunk("fmt ", PcmFormat(1, 8000, 16));
    small.Chunk("data", std::vector<uint8_t>(40, 1)).Chunk("LIST", {1, 2});
    const WaveHeader h = Parse(small.data);
    EXPECT_EQ(h.dataLength, 40u);
    EXPECT_FALSE(Parse(Riff(Bytes{}.Chunk("fmt ", PcmFormat(1, 8000, 16)))).rf64);
}

TEST(WaveHeader, ChunksOfMoreThan64KiBBeforeDataAreWalked) {
    Bytes body;
    body.Chunk("fmt ", PcmFormat(2, 44100, 16));
    body.Chunk("LIST", std::vector<uint8_t>(200000, 'x'));
    body.Chunk("JUNK", std::vector<uint8_t>(70001, 0)).Fill(1, 0);
    body.Chunk("data", std::vector<uint8_t>(400, 3));
    const auto bytes = Riff(body);
    const WaveHeader h = Parse(bytes);
    ASSERT_TRUE(h.hasData);
    EXPECT_EQ(h.dataOffset, bytes.size() - 400);
    EXPECT_TRUE(IsReadableFormat(h));
}

TEST(WaveHeader, CompressedFormatsNeedAFactChunkBeforeData) {
    Bytes withFact;
    withFact.Chunk("fmt ", ImaFormat(1, 256)).Chunk("fact", Bytes{}.U32(1000).data);
    withFact.Chunk("data", std::vector<uint8_t>(512, 0));
    const auto bytes = Riff(withFact);
    const WaveHeader h = Parse(bytes);
    EXPECT_EQ(h.type, wtDVIADPCM);
    EXPECT_TRUE(h.hasFact);
    EXPECT_EQ(h.factValue, 1000u);
    EXPECT_EQ(WaveBytes::Read32(bytes, h.factValueOffset), 1000u);
    EXPECT_EQ(h.samplesPerBlock, 505);
    EXPECT_TRUE(IsReadableFormat(h));

    Bytes noFact;
    noFact.Chunk("fmt ", ImaFormat(1, 256)).Chunk("data", std::vector<uint8_t>(512, 0));
    const WaveHeader missing = Parse(Riff(noFact));
    EXPECT_FALSE(missing.hasFact);
    EXPECT_FALSE(IsReadableFormat(missing));

    Bytes pcmNoFact;
    pcmNoFact.Chunk("fmt ", PcmFormat(1, 8000, 16)).Chunk("data", {1, 2});
    EXPECT_TRUE(IsReadableFormat(Parse(Riff(pcmNoFact))));
}

TEST(WaveHeader, ExtensibleSubformatsSelectTheType) {
    auto typeOf = [](const std::vector<uint8_t>& format) {
        Bytes body;
        body.Chunk("fmt ", format).Chunk("data", std::vector<uint8_t>(24, 0));
        return Parse(Riff(body)).type;
    };
    EXPECT_EQ(typeOf(ExtensibleFormat(24, kPcmSubformat)), wtExtPCM);
    EXPECT_EQ(typeOf(ExtensibleFormat(32, kFloatSubformat)), wtExtIEEEFloat);
    auto other = kPcmSubformat;
    other[0] = 2; // MS ADPCM inside the extensible record
    EXPECT_EQ(typeOf(ExtensibleFormat(16, other)), wtUnsupported);
    auto shortRecord = ExtensibleFormat(16, kPcmSubformat);
    shortRecord.resize(30);
    EXPECT_EQ(typeOf(shortRecord), wtUnsupported);
    EXPECT_EQ(typeOf(PcmFormat(2, 48000, 32, 3)), wtIEEEFloat);
    // A-law, µ-law and GSM 6.10 go to the compression manager; other tags are named.
    EXPECT_EQ(typeOf(PcmFormat(1, 8000, 0, 0x31)), wtACM);
    EXPECT_EQ(typeOf(PcmFormat(2, 8000, 8, 6)), wtACM);
    EXPECT_EQ(typeOf(PcmFormat(2, 8000, 8, 7)), wtACM);
    EXPECT_EQ(typeOf(PcmFormat(2, 48000, 16, 0x1234)), wtUnsupported);
    auto tagOf = [](const std::vector<uint8_t>& format) {
        Bytes body;
        body.Chunk("fmt ", format).Chunk("data", std::vector<uint8_t>(24, 0));
        return UnsupportedFormatTag(Parse(Riff(body)));
    };
    EXPECT_EQ(tagOf(PcmFormat(2, 48000, 16, 0x1234)), 0x1234);
    EXPECT_EQ(tagOf(PcmFormat(2, 48000, 16, 1)), 0);
    EXPECT_EQ(tagOf(ExtensibleFormat(16, other)), 0); // known, but not inside the extensible one
    other[0] = 0x60;
    other[1] = 0x01;
    EXPECT_EQ(tagOf(ExtensibleFormat(16, other)), 0x160);
    other[15] = 0;
    EXPECT_EQ(tagOf(ExtensibleFormat(16, other)), 0xFFFE);
}

TEST(WaveHeader, MsAdpcmCoefficientsAreReadAndLimitedTo32) {
    Bytes body;
    body.Chunk("fmt ", MsFormat(2, 1024, 1012, 7)).Chunk("fact", Bytes{}.U32(5000).data);
    body.Chunk("data", std::vector<uint8_t>(2048, 0));
    const WaveHeader h = Parse(Riff(body));
    EXPECT_EQ(h.type, wtMSADPCM);
    ASSERT_EQ(h.coefficients.size(), 7u);
    EXPECT_EQ(h.coefficients[3][0], 253);
    EXPECT_EQ(h.coefficients[3][1], -3);
    EXPECT_EQ(h.samplesPerBlock, 1012);
    EXPECT_TRUE(IsReadableFormat(h));

    Bytes tooMany;
    tooMany.Chunk("fmt ", MsFormat(1, 1024, 2036, 33)).Chunk("fact", Bytes{}.U32(1).data);
    tooMany.Chunk("data", std::vector<uint8_t>(1024, 0));
    EXPECT_EQ(Parse(Riff(tooMany)).type, wtUnsupported);
}

TEST(WaveHeader, FormatsThatWouldOverrunTheBuffersAreNotReadable) {
    auto readable = [](const std::vector<uint8_t>& format, bool fact = true) {
        Bytes body;
        body.Chunk("fmt ", format);
        if (fact) body.Chunk("fact", Bytes{}.U32(100).data);
        body.Chunk("data", std::vector<uint8_t>(64, 0));
        return IsReadableFormat(Parse(Riff(body)));
    };
    EXPECT_FALSE(readable(PcmFormat(2, 44100, 12)));
    EXPECT_FALSE(readable(PcmFormat(0, 44100, 16)));
    EXPECT_FALSE(readable(PcmFormat(2, 0, 16)));
    EXPECT_FALSE(readable(PcmFormat(2, 44100, 16, 3))); // 16-bit float does not exist
    EXPECT_FALSE(readable(ImaFormat(1, 256, 3)));       // IMA must have 4 bits
    EXPECT_FALSE(readable(ImaFormat(3, 256)));
    EXPECT_FALSE(readable(ImaFormat(2, 260)));  // stereo data comes in groups of 8 bytes
    EXPECT_TRUE(readable(ImaFormat(1, 4096)));  // 8185 samples: fits the 16384-byte buffer
    EXPECT_FALSE(readable(ImaFormat(1, 4104))); // would decode past it
    EXPECT_TRUE(readable(ImaFormat(2, 4096)));
    EXPECT_FALSE(readable(ImaFormat(2, 4112)));
    EXPECT_TRUE(readable(MsFormat(1, 256, 500, 7)));
    EXPECT_FALSE(readable(MsFormat(1, 256, 502, 7)));   // more samples than the block holds
    EXPECT_FALSE(readable(MsFormat(2, 8192, 8000, 7))); // decodes past 16384 bytes
    EXPECT_FALSE(readable(MsFormat(1, 256, 500, 7), false));
}

TEST(WaveHeader, RandomAndMutatedBytesNeverReadPastTheirEnd) {
    std::mt19937 random(12345);
    Bytes valid;
    valid.Chunk("fmt ", MsFormat(2, 512, 500, 7)).Chunk("fact", Bytes{}.U32(900).data);
    valid.Chunk("data", std::vector<uint8_t>(1024, 0x5A));
    const auto base = Riff(valid);
    for (int round = 0; round < 3000; ++round) {
        std::vector<uint8_t> bytes = base;
        if (round % 3 == 0) {
            bytes.resize(random() % 2000);
            for (auto& b : bytes)
                b = uint8_t(random());
            if (bytes.size() > 16 && round % 2) std::memcpy(bytes.data(), "RIFF\0\0\0\0WAVE", 12);
        } else {
            for (int i = 0; i < 1 + round % 8; ++i)
                bytes[random() % bytes.size()] = uint8_t(random());
            bytes.resize(random() % (bytes.size() + 1));
        }
        const WaveHeader h = Parse(bytes);
        if (h.hasData) {
            EXPECT_LE(h.dataOffset + h.dataLength, std::max<uint64_t>(bytes.size(), h.dataOffset));
        }
        if (IsReadableFormat(h) && h.type == wtMSADPCM) {
            EXPECT_LE(h.coefficients.size(), kMaxMsAdpcmCoefficients);
        }
    }
}

// Found by fuzzing: an empty 'fmt ' chunk made the reader copy nothing into a record with no
// storage, a null pointer to memcpy (reported under UndefinedBehaviorSanitizer).
TEST(WaveHeader, EmptyFormatChunkGivesNoUsableFormat) {
    const std::vector<uint8_t> bytes{'R', 'I', 'F', 'F', 0xF8, 0x04, 0, 0, 'W', 'A', 'V',
                                     'E', 'f', 'm', 't', ' ',  0,    0, 0, 0,   0};
    const WaveHeader h = Parse(bytes);
    EXPECT_TRUE(h.hasFormat);
    EXPECT_EQ(h.formatSize, 0u);
    EXPECT_TRUE(h.formatRecord.empty());
    EXPECT_EQ(h.type, wtUnsupported);
    EXPECT_FALSE(h.hasData);
    EXPECT_FALSE(IsReadableFormat(h));

    SpanByteSource source(bytes);
    EXPECT_EQ(source.ReadAt(0, {}), 0u);
    EXPECT_EQ(source.ReadAt(bytes.size(), {}), 0u);
}

TEST(WaveHeaderWriter, PcmHeaderHoldsExactlyTheClassicFields) {
    const auto h = WaveHeaderWriter::PcmHeader(2, 44100, 16, 1000);
    const std::vector<uint8_t> expected = Bytes{}
                                              .Text("RIFF")
                                              .U32(1036)
                                              .Text("WAVEfmt ")
                                              .U32(16)
                                              .U16(1)
                                              .U16(2)
                                              .U32(44100)
                                              .U32(176400)
                                              .U16(4)
                                              .U16(16)
                                              .Text("data")
                                              .U32(1000)
                                              .data;
    EXPECT_EQ(std::vector<uint8_t>(h.begin(), h.end()), expected);
}

TEST(WaveHeaderWriter, ExtensibleHeaderCarriesMaskValidBitsAndPcmSubformat) {
    const auto h = WaveHeaderWriter::ExtensiblePcmHeader(6, 48000, 24, 3600);
    EXPECT_EQ(WaveBytes::Read32(h, 4), 3660u);
    EXPECT_EQ(WaveBytes::Read32(h, 16), 40u);
    EXPECT_EQ(WaveBytes::Read16(h, 20), 0xFFFE);
    EXPECT_EQ(WaveBytes::Read32(h, 28), 48000u * 18);
    EXPECT_EQ(WaveBytes::Read16(h, 32), 18);
    EXPECT_EQ(WaveBytes::Read16(h, 36), 22);
    EXPECT_EQ(WaveBytes::Read16(h, 38), 24);
    EXPECT_EQ(WaveBytes::Read32(h, 40), 63u);
    EXPECT_TRUE(std::equal(kPcmSubformat.begin(), kPcmSubformat.end(), h.begin() + 44));
    EXPECT_EQ(WaveBytes::Read32(h, 64), 3600u);
    EXPECT_EQ(WaveHeaderWriter::ChannelMask(1), 1u);
    EXPECT_EQ(WaveHeaderWriter::ChannelMask(8), 255u);
    EXPECT_EQ(WaveHeaderWriter::ChannelMask(3), 0u);

    const std::vector<uint8_t> bytes(h.begin(), h.end());
    const WaveHeader parsed = Parse(bytes);
    EXPECT_EQ(parsed.type, wtExtPCM);
    EXPECT_EQ(parsed.dataOffset, 68u);
    EXPECT_EQ(parsed.channels, 6);
}

TEST(WaveHeaderWriter, ImaHeaderCountsSamplesPerBlockAndRoundsTheBlockCount) {
    const auto mono = WaveHeaderWriter::ImaAdpcmHeader(1, 44100, 512, 3000, 1536);
    EXPECT_EQ(WaveBytes::Read32(mono, 4), 1536u + 52);
    EXPECT_EQ(WaveBytes::Read16(mono, 20), 17);
    EXPECT_EQ(WaveBytes::Read32(mono, 28), 44100u / 1017 * 512);
    EXPECT_EQ(WaveBytes::Read16(mono, 32), 512);
    EXPECT_EQ(WaveBytes::Read16(mono, 34), 4);
    EXPECT_EQ(WaveBytes::Read16(mono, 36), 2);
    EXPECT_EQ(WaveBytes::Read16(mono, 38), 1017);
    EXPECT_EQ(WaveBytes::Read32(mono, 48), 3000u);
    EXPECT_EQ(WaveBytes::Read32(mono, 56), 1536u);
    const auto stereo = WaveHeaderWriter::ImaAdpcmHeader(2, 44100, 512, 0, 0);
    EXPECT_EQ(WaveBytes::Read16(stereo, 38), 505);

    const std::vector<uint8_t> bytes(mono.begin(), mono.end());
    const WaveHeader parsed = Parse(bytes);
    EXPECT_EQ(parsed.type, wtDVIADPCM);
    EXPECT_EQ(parsed.factValue, 3000u);
    EXPECT_EQ(parsed.factValueOffset, 48u);
    EXPECT_EQ(parsed.dataSizeOffset, 56u);
    EXPECT_EQ(parsed.dataOffset, 60u);
}

// A finished file made RF64, with the place of 'ds64' kept in the header or by moving the audio
// up: the reader finds the same audio, and so does ffmpeg.
TEST(WaveHeaderWriter, AFinishedFileBecomesRf64ThatReadersTakeAsTheSameAudio) {
    const auto chunk = WaveHeaderWriter::Ds64Chunk(0x1'2345'6789ull, 0x1'0000'0010ull, 77);
    EXPECT_EQ(std::string(chunk.begin(), chunk.begin() + 4), "ds64");
    EXPECT_EQ(WaveBytes::Read32(chunk, 4), 28u);
    EXPECT_EQ(WaveBytes::Read32(chunk, 8), 0x23456789u);
    EXPECT_EQ(WaveBytes::Read32(chunk, 12), 1u);
    EXPECT_EQ(WaveBytes::Read32(chunk, 16), 0x10u);
    EXPECT_EQ(WaveBytes::Read32(chunk, 20), 1u);
    EXPECT_EQ(WaveBytes::Read32(chunk, 24), 77u);
    EXPECT_EQ(WaveBytes::Read32(chunk, 32), 0u);

    const std::vector<uint8_t> audio = Ramp16(2 * 1001);
    TempDir dir;
    for (const bool place : {false, true}) {
        SCOPED_TRACE(place ? "place kept" : "audio moved");
        const auto classic = WaveHeaderWriter::PcmHeader(2, 44100, 16, audio.size());
        const std::vector<uint8_t> header =
            place ? WaveHeaderWriter::WithDs64Place(classic)
                  : std::vector<uint8_t>(classic.begin(), classic.end());
        TMemoryStream stream;
        stream.Write(header);
        stream.Write(audio);
        const WaveHeaderWriter::HeaderPlaces places{0, header.size() - 4, place};
        const uint64_t end =
            WaveHeaderWriter::MakeRf64(stream, places, stream.Bytes().size(), audio.size(), 1001);
        ASSERT_EQ(end, 44 + WaveHeaderWriter::kDs64ChunkBytes + audio.size());
        const std::vector<uint8_t> file = stream.Bytes();
        ASSERT_EQ(file.size(), end);
        EXPECT_EQ(std::string(file.begin(), file.begin() + 4), "RF64");
        EXPECT_EQ(WaveBytes::Read32(file, 4), 0xFFFFFFFFu);
        EXPECT_EQ(std::string(file.begin() + 12, file.begin() + 16), "ds64");
        EXPECT_EQ(WaveBytes::Read32(file, 20), uint32_t(end - 8));
        const WaveHeader h = Parse(file);
        EXPECT_TRUE(h.rf64 && h.hasDs64);
        EXPECT_EQ(WaveBytes::Read32(file, size_t(h.dataSizeOffset)), 0xFFFFFFFFu);
        EXPECT_EQ(h.dataLength, audio.size());
        EXPECT_TRUE(
            std::equal(audio.begin(), audio.end(), file.begin() + std::ptrdiff_t(h.dataOffset)));
        WriteFileBytes(dir / "rf64.wav", file);
        EXPECT_TRUE(FfmpegRaw(dir / "rf64.wav", "s16le", "pcm_s16le", dir / "ffmpeg.raw") == audio);
    }
}

TEST(WaveHeaderWriter, SizesBeyond32BitsBecomeTheToTheEndPlaceholder) {
    const auto h = WaveHeaderWriter::PcmHeader(2, 44100, 16, 0x1'0000'0000ull);
    EXPECT_EQ(WaveBytes::Read32(h, 40), 0xFFFFFFFFu);
    EXPECT_EQ(WaveBytes::Read32(h, 4), 0xFFFFFFFFu);
    EXPECT_TRUE(WaveBytes::IsStreamingPlaceholder(WaveBytes::Read32(h, 40)));
}
