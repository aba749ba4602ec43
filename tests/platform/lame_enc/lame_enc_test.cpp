// Our lame_enc: every field of the configuration record reaches libmp3lame, and the entry
// points encode, flush, refuse bad calls and write the Xing/LAME tag into the right file.
#include "platform/lame_enc/lame_config.h"
#include "platform/lame_enc/lame_enc_api.h"
#include "tests/codecs/mp3/mp3_test_support.h"

#include <gtest/gtest.h>

#include <thread>

using namespace mp3test;

namespace {

BE_CONFIG LameRecord(uint32_t rate = 44100, int32_t mode = BE_MP3_MODE_STEREO,
                     uint32_t kbps = 128) {
    BE_CONFIG config{};
    config.config = BE_CONFIG_LAME;
    config.format.lhv1.structVersion = 1;
    config.format.lhv1.structSize = BE_CONFIG_LAME_SIZE;
    config.format.lhv1.sampleRate = rate;
    config.format.lhv1.mode = mode;
    config.format.lhv1.bitRate = kbps;
    return config;
}

class Lame {
public:
    Lame() : flags_(lame_init()) {}
    ~Lame() { lame_close(flags_); }
    Lame(const Lame&) = delete;
    Lame& operator=(const Lame&) = delete;
    lame_global_flags* operator->() const { return flags_; }
    operator lame_global_flags*() const { return flags_; }

private:
    lame_global_flags* flags_;
};

// A whole stream through the entry points: chunks of the announced size, then the flush.
struct Stream {
    HBE_STREAM handle = 0;
    uint32_t chunkSamples = 0;
    uint32_t bufferSize = 0;
    std::vector<uint8_t> bytes;
};

Stream EncodeAll(const BE_CONFIG& config, const std::vector<int16_t>& pcm, bool close = true) {
    Stream stream;
    EXPECT_EQ(beInitStream(&config, &stream.chunkSamples, &stream.bufferSize, &stream.handle),
              BE_ERR_SUCCESSFUL);
    std::vector<uint8_t> output(stream.bufferSize);
    for (size_t at = 0; at < pcm.size(); at += stream.chunkSamples) {
        const uint32_t n =
            static_cast<uint32_t>(std::min<size_t>(stream.chunkSamples, pcm.size() - at));
        uint32_t bytes = 0;
        EXPECT_EQ(beEncodeChunk(stream.handle, n, pcm.data() + at, output.data(), &bytes),
                  BE_ERR_SUCCESSFUL);
        stream.bytes.insert(stream.bytes.end(), output.begin(), output.begin() + bytes);
    }
    uint32_t bytes = 0;
    EXPECT_EQ(beDeinitStream(stream.handle, output.data(), &bytes), BE_ERR_SUCCESSFUL);
    stream.bytes.insert(stream.bytes.end(), output.begin(), output.begin() + bytes);
    if (close) {
        EXPECT_EQ(beCloseStream(stream.handle), BE_ERR_SUCCESSFUL);
    }
    return stream;
}

std::vector<int16_t> Pcm16(size_t frames, int rate, const std::vector<double>& freqs) {
    const auto floats = Sines(frames, rate, freqs);
    std::vector<int16_t> pcm(floats.size());
    Pcm::ToInt16(ToPcm(floats, 16), 16, pcm);
    return pcm;
}

} // namespace

TEST(LameConfig, EveryFieldReachesTheEncoder) {
    BE_CONFIG config = LameRecord(32000, BE_MP3_MODE_JSTEREO, 96);
    auto& lame = config.format.lhv1;
    lame.reSampleRate = 22050;
    lame.emphasis = 1;
    lame.privateBit = 1;
    lame.crc = 1;
    lame.copyright = 1;
    lame.original = 0;
    lame.writeVbrHeader = 0;
    lame.noReservoir = -1;
    lame.strictIso = -1;
    lame.quality = uint16_t(0xFA05); // 5, guarded by its complement
    lame.mpegVersion = 1;            // read past
    lame.psyModel = 3;               // read past
    {
        Lame flags;
        const LameSetup setup = ApplyConfig(flags, config);
        ASSERT_EQ(setup.error, BE_ERR_SUCCESSFUL);
        EXPECT_EQ(setup.channels, 2);
        EXPECT_FALSE(setup.vbrHeader);
        EXPECT_EQ(lame_get_in_samplerate(flags), 32000);
        EXPECT_EQ(lame_get_out_samplerate(flags), 22050);
        EXPECT_EQ(lame_get_num_channels(flags), 2);
        EXPECT_EQ(lame_get_mode(flags), JOINT_STEREO);
        EXPECT_EQ(lame_get_VBR(flags), vbr_off);
        EXPECT_EQ(lame_get_brate(flags), 96);
        EXPECT_EQ(lame_get_emphasis(flags), 1);
        EXPECT_EQ(lame_get_extension(flags), 1);
        EXPECT_EQ(lame_get_error_protection(flags), 1);
        EXPECT_EQ(lame_get_copyright(flags), 1);
        EXPECT_EQ(lame_get_original(flags), 0);
        EXPECT_EQ(lame_get_bWriteVbrTag(flags), 0);
        EXPECT_EQ(lame_get_disable_reservoir(flags), 1);
        EXPECT_EQ(lame_get_strict_ISO(flags), 1);
        EXPECT_EQ(lame_get_quality(flags), 5);
        EXPECT_EQ(lame_init_params(flags), 0);
    }
    // A quality word without its complement leaves the encoder's own default.
    lame.quality = 2;
    {
        Lame flags, defaults;
        ApplyConfig(flags, config);
        EXPECT_EQ(lame_get_quality(flags), lame_get_quality(defaults));
    }
    // Mono takes one channel; dual channel is dual channel.
    for (const auto& [mode, expected, channels] :
         {std::tuple{BE_MP3_MODE_MONO, MONO, 1},
          std::tuple{BE_MP3_MODE_DUALCHANNEL, DUAL_CHANNEL, 2},
          std::tuple{BE_MP3_MODE_STEREO, STEREO, 2}}) {
        Lame flags;
        const LameSetup setup = ApplyConfig(flags, LameRecord(44100, mode));
        EXPECT_EQ(lame_get_mode(flags), expected);
        EXPECT_EQ(setup.channels, channels);
        EXPECT_EQ(lame_get_num_channels(flags), channels);
    }
}

TEST(LameConfig, VariableAndAverageRates) {
    BE_CONFIG config = LameRecord(44100, BE_MP3_MODE_STEREO, 64);
    auto& lame = config.format.lhv1;
    lame.enableVbr = 1;
    lame.writeVbrHeader = 1;
    lame.vbrQuality = 4;
    lame.maxBitRate = 256;
    lame.vbrMethod = VBR_METHOD_NEW;
    {
        Lame flags;
        const LameSetup setup = ApplyConfig(flags, config);
        EXPECT_TRUE(setup.vbrHeader);
        EXPECT_EQ(lame_get_VBR(flags), vbr_mtrh);
        EXPECT_EQ(lame_get_VBR_q(flags), 4);
        EXPECT_EQ(lame_get_VBR_min_bitrate_kbps(flags), 64);
        EXPECT_EQ(lame_get_VBR_max_bitrate_kbps(flags), 256);
        EXPECT_EQ(lame_get_bWriteVbrTag(flags), 1);
    }
    lame.vbrMethod = VBR_METHOD_OLD;
    {
        Lame flags;
        ApplyConfig(flags, config);
        EXPECT_EQ(lame_get_VBR(flags), vbr_rh);
    }
    // ABR: the method with a rate, in kbit/s or (as some callers send it) bit/s.
    lame.enableVbr = 0;
    lame.vbrMethod = VBR_METHOD_ABR;
    for (const uint32_t rate : {192u, 192000u}) {
        lame.vbrAbrRate = rate;
        Lame flags;
        ApplyConfig(flags, config);
        EXPECT_EQ(lame_get_VBR(flags), vbr_abr);
        EXPECT_EQ(lame_get_VBR_mean_bitrate_kbps(flags), 192);
        EXPECT_EQ(lame_get_VBR_min_bitrate_kbps(flags), 64);
    }
    // The ABR method without a rate is no ABR.
    lame.vbrAbrRate = 0;
    Lame flags;
    ApplyConfig(flags, config);
    EXPECT_EQ(lame_get_VBR(flags), vbr_off);
    EXPECT_EQ(lame_get_brate(flags), 64);
}

TEST(LameConfig, RecordsThatCannotBeEncodedAreRefused) {
    uint32_t samples = 0, size = 0;
    HBE_STREAM stream = 0;
    BE_CONFIG config = LameRecord();
    config.config = 7;
    EXPECT_EQ(beInitStream(&config, &samples, &size, &stream), BE_ERR_INVALID_FORMAT);
    config = LameRecord(0);
    EXPECT_EQ(beInitStream(&config, &samples, &size, &stream), BE_ERR_INVALID_FORMAT_PARAMETERS);
    config = LameRecord(44100, 9);
    EXPECT_EQ(beInitStream(&config, &samples, &size, &stream), BE_ERR_INVALID_FORMAT_PARAMETERS);
    config = LameRecord();
    config.format.lhv1.enableVbr = 1;
    config.format.lhv1.vbrMethod = 17;
    EXPECT_EQ(beInitStream(&config, &samples, &size, &stream), BE_ERR_INVALID_FORMAT_PARAMETERS);
    EXPECT_EQ(beInitStream(nullptr, &samples, &size, &stream), BE_ERR_INVALID_FORMAT_PARAMETERS);
}

TEST(LameEnc, ChunksEncodeToFramesWithTheRecordsHeaderBits) {
    BE_CONFIG config = LameRecord(48000, BE_MP3_MODE_STEREO, 192);
    config.format.lhv1.crc = 1;
    config.format.lhv1.copyright = 1;
    config.format.lhv1.original = 1;
    config.format.lhv1.privateBit = 1;
    config.format.lhv1.emphasis = 1;
    const Stream stream = EncodeAll(config, Pcm16(48000, 48000, {440, 880}));
    EXPECT_EQ(stream.chunkSamples, 1152u * 2);
    EXPECT_GE(stream.bufferSize, 7200u);
    const auto frames = Frames(stream.bytes);
    ASSERT_GE(frames.size(), 40u);
    for (const auto& frame : frames) {
        EXPECT_EQ(frame.sampleRate, 48000);
        EXPECT_EQ(frame.bitRateKbps, 192);
        EXPECT_EQ(frame.mode, 0);
        EXPECT_TRUE(frame.crc);
        EXPECT_TRUE(frame.copyright);
        EXPECT_TRUE(frame.original);
        EXPECT_TRUE(frame.privateBit);
        EXPECT_EQ(frame.emphasis, 1);
    }

    // Mono at an MPEG-2 rate: half-size frames of one channel.
    const Stream mono =
        EncodeAll(LameRecord(22050, BE_MP3_MODE_MONO, 32), Pcm16(22050, 22050, {300}));
    EXPECT_EQ(mono.chunkSamples, 576u);
    const auto monoFrames = Frames(mono.bytes);
    ASSERT_FALSE(monoFrames.empty());
    EXPECT_EQ(monoFrames[0].version, 2);
    EXPECT_EQ(monoFrames[0].mode, 3);

    // The plain MP3 variant of the record.
    BE_CONFIG plain{};
    plain.config = BE_CONFIG_MP3;
    plain.format.mp3.sampleRate = 44100;
    plain.format.mp3.mode = BE_MP3_MODE_JSTEREO;
    plain.format.mp3.bitRate = 112;
    plain.format.mp3.copyright = 1;
    const auto plainFrames = Frames(EncodeAll(plain, Pcm16(22050, 44100, {440, 550})).bytes);
    ASSERT_FALSE(plainFrames.empty());
    EXPECT_EQ(plainFrames[0].bitRateKbps, 112);
    EXPECT_EQ(plainFrames[0].mode, 1);
    EXPECT_TRUE(plainFrames[0].copyright);
}

TEST(LameEnc, BadCallsAreRefused) {
    const BE_CONFIG config = LameRecord();
    uint32_t samples = 0, size = 0, bytes = 0;
    HBE_STREAM stream = 0;
    ASSERT_EQ(beInitStream(&config, &samples, &size, &stream), BE_ERR_SUCCESSFUL);
    EXPECT_NE(stream, 0u);
    std::vector<int16_t> pcm(samples * 2);
    std::vector<uint8_t> output(size);
    // More than a chunk could overrun the caller's buffer, which was sized for one chunk.
    EXPECT_EQ(beEncodeChunk(stream, samples + 2, pcm.data(), output.data(), &bytes),
              BE_ERR_BUFFER_TOO_SMALL);
    EXPECT_EQ(beEncodeChunk(stream, 3, pcm.data(), output.data(), &bytes),
              BE_ERR_INVALID_FORMAT_PARAMETERS); // half a stereo frame
    EXPECT_EQ(beEncodeChunk(stream + 1000, samples, pcm.data(), output.data(), &bytes),
              BE_ERR_INVALID_HANDLE);
    EXPECT_EQ(beCloseStream(stream), BE_ERR_SUCCESSFUL);
    EXPECT_EQ(beCloseStream(stream), BE_ERR_INVALID_HANDLE);
    EXPECT_EQ(beEncodeChunk(stream, samples, pcm.data(), output.data(), &bytes),
              BE_ERR_INVALID_HANDLE);
    EXPECT_EQ(beDeinitStream(stream, output.data(), &bytes), BE_ERR_INVALID_HANDLE);
    // No stream of this thread is waiting for its header.
    EXPECT_EQ(beWriteVBRHeader("/nonexistent"), BE_ERR_INVALID_HANDLE);
}

TEST(LameEnc, TheVbrHeaderGoesIntoTheFirstFrameOfTheRightFile) {
    TempDir dir;
    BE_CONFIG config = LameRecord(44100, BE_MP3_MODE_JSTEREO, 32);
    config.format.lhv1.enableVbr = 1;
    config.format.lhv1.writeVbrHeader = 1;
    config.format.lhv1.vbrQuality = 2;
    config.format.lhv1.vbrMethod = VBR_METHOD_NEW;

    // Several encoders on several threads: each file gets the tag of its own stream.
    const std::vector<size_t> lengths = {44100, 70000, 100000, 30000};
    std::vector<std::thread> threads;
    // Named before any thread starts: the threads read the list while later ones are added.
    std::vector<std::string> paths;
    for (size_t i = 0; i < lengths.size(); ++i)
        paths.push_back(dir / ("t" + std::to_string(i) + ".mp3"));
    for (size_t i = 0; i < lengths.size(); ++i) {
        // The second file starts with an ID3v2 tag, which the tag frame must go behind.
        threads.emplace_back([&, i] {
            const Stream stream = EncodeAll(config, Pcm16(lengths[i], 44100, {440, 660}));
            std::vector<uint8_t> file;
            if (i == 1) {
                file = {'I', 'D', '3', 4, 0, 0, 0, 0, 0, 20};
                file.resize(30, 0);
            }
            file.insert(file.end(), stream.bytes.begin(), stream.bytes.end());
            EXPECT_FALSE(HasXingTag(file)); // a placeholder until the header is written
            WriteFileBytes(paths[i], file);
            EXPECT_EQ(beWriteVBRHeader(paths[i].c_str()), BE_ERR_SUCCESSFUL);
        });
    }
    for (auto& thread : threads)
        thread.join();
    for (size_t i = 0; i < lengths.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_TRUE(HasXingTag(ReadFileBytes(paths[i])));
        // The LAME tag's length and delays give mpg123 the exact sample count.
        EXPECT_EQ(DecodeWithMpg123(paths[i], dir).Frames(), lengths[i]);
    }

    // beWriteInfoTag names its stream and closes it.
    Stream stream = EncodeAll(config, Pcm16(50000, 44100, {440, 660}), false);
    const std::string path = dir / "info.mp3";
    WriteFileBytes(path, stream.bytes);
    EXPECT_EQ(beWriteInfoTag(stream.handle, path.c_str()), BE_ERR_SUCCESSFUL);
    EXPECT_EQ(DecodeWithMpg123(path, dir).Frames(), 50000u);
    EXPECT_EQ(beCloseStream(stream.handle), BE_ERR_INVALID_HANDLE);

    // beGetInfoTagFrame hands the frame over, for a writer to put it in place itself; a
    // constant rate gets an "Info" frame.
    BE_CONFIG cbr = LameRecord(44100, BE_MP3_MODE_STEREO, 128);
    cbr.format.lhv1.writeVbrHeader = 1;
    Stream constant = EncodeAll(cbr, Pcm16(50001, 44100, {440, 660}), false);
    uint32_t size = 10;
    std::vector<uint8_t> frame(size);
    EXPECT_EQ(beGetInfoTagFrame(constant.handle, frame.data(), &size), BE_ERR_BUFFER_TOO_SMALL);
    EXPECT_EQ(size, uint32_t(Frames(constant.bytes)[0].length));
    frame.resize(size);
    ASSERT_EQ(beGetInfoTagFrame(constant.handle, frame.data(), &size), BE_ERR_SUCCESSFUL);
    EXPECT_NE(std::search(frame.begin(), frame.end(), "Info", "Info" + 4), frame.end());
    std::copy(frame.begin(), frame.end(), constant.bytes.begin());
    WriteFileBytes(path, constant.bytes);
    EXPECT_EQ(DecodeWithMpg123(path, dir).Frames(), 50001u);
    EXPECT_EQ(beCloseStream(constant.handle), BE_ERR_SUCCESSFUL);

    // A file that is not the stream's output is left alone.
    EncodeAll(config, Pcm16(10000, 44100, {440, 660}));
    const std::string other = dir / "other.txt";
    WriteFileBytes(other, std::vector<uint8_t>(4000, 'x'));
    EXPECT_EQ(beWriteVBRHeader(other.c_str()), BE_ERR_INVALID_FORMAT_PARAMETERS);
    EXPECT_EQ(ReadFileBytes(other), std::vector<uint8_t>(4000, 'x'));
}

TEST(LameEnc, FlushWithoutGapKeepsTheStreamGoing) {
    const BE_CONFIG config = LameRecord(44100, BE_MP3_MODE_STEREO, 128);
    uint32_t samples = 0, size = 0, bytes = 0;
    HBE_STREAM stream = 0;
    ASSERT_EQ(beInitStream(&config, &samples, &size, &stream), BE_ERR_SUCCESSFUL);
    const auto pcm = Pcm16(samples / 2 * 20, 44100, {440, 660});
    std::vector<uint8_t> output(size), all;
    auto encode = [&] {
        for (size_t at = 0; at < pcm.size(); at += samples) {
            ASSERT_EQ(beEncodeChunk(stream, samples, pcm.data() + at, output.data(), &bytes),
                      BE_ERR_SUCCESSFUL);
            all.insert(all.end(), output.begin(), output.begin() + bytes);
        }
    };
    encode();
    ASSERT_EQ(beFlushNoGap(stream, output.data(), &bytes), BE_ERR_SUCCESSFUL);
    all.insert(all.end(), output.begin(), output.begin() + bytes);
    // Without padding the last partial frame stays in the encoder for what follows.
    const size_t firstTrack = Frames(all).size();
    EXPECT_GE(firstTrack, 19u);
    encode();
    ASSERT_EQ(beDeinitStream(stream, output.data(), &bytes), BE_ERR_SUCCESSFUL);
    all.insert(all.end(), output.begin(), output.begin() + bytes);
    EXPECT_EQ(beCloseStream(stream), BE_ERR_SUCCESSFUL);
    EXPECT_GE(Frames(all).size(), 40u);
}
