// TWavpackEncoder: one library encoding context writing blocks to a main stream and, for
// hybrid files, a correction stream; closed when the encoder goes.
#pragma once

#include "pipeline/au_stream.h"

#include <array>
#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <vector>
#include <wavpack/wavpack.h>

class TWavpackEncoder {
public:
    // Streams are not owned and must outlive the encoder. Throws EWavpackException when the
    // library is missing or cannot make a context.
    TWavpackEncoder(TStream* mainStream, TStream* correctionStream);
    TWavpackEncoder(const TWavpackEncoder&) = delete;
    TWavpackEncoder& operator=(const TWavpackEncoder&) = delete;
    ~TWavpackEncoder();

    // The library's own configuration record, zero-filled; fill it before SetConfiguration.
    WavpackConfig& Config() { return config_; }
    // totalFrames -1 when the input cannot tell.
    bool SetConfiguration(int64_t totalFrames);
    // The file header to restore on decoding (between SetConfiguration and PackInit); without
    // one the library makes its own.
    bool AddWrapper(std::span<const uint8_t> header);
    bool PackInit();
    bool PackSamples(std::span<int32_t> samples, uint32_t frames);
    bool FlushSamples();
    // Stores the MD5 of the audio with the next block flushed (as wavpack -m); true when
    // stored, false when the library cannot.
    bool StoreMd5(std::array<uint8_t, 16> sum);
    // Frames announced to SetConfiguration (-1 unknown) and frames packed so far.
    int64_t NumSamples() const;
    int64_t SampleIndex() const;
    // After the last flush: when the frames packed differ from those announced, rewrites the
    // first block of each stream with the true count, replacing a header given to AddWrapper
    // by rebuildWrapper(frames) when that is of the same size. False when a rewrite failed.
    bool UpdateNumSamples(
        const std::function<std::vector<uint8_t>(int64_t frames)>& rebuildWrapper = {});
    void AppendTagItem(const std::string& name, std::string_view utf8Value);
    // False when the library cannot store binary items or refuses this one.
    bool AppendBinaryTagItem(const std::string& name, std::string_view value);
    bool WriteTag();
    std::string ErrorMessage() const;

private:
    // Where the library's blocks go; the first block is kept so its count can be rewritten.
    struct BlockTarget {
        TStream* stream = nullptr;
        std::vector<uint8_t> firstBlock;
        int64_t firstBlockOffset = -1;
    };
    static int WriteBlock(void* id, void* data, int32_t count);
    static void ReplaceWrapper(BlockTarget& target, const std::vector<uint8_t>& header);

    BlockTarget main_;
    BlockTarget correction_;
    WavpackContext* context_ = nullptr;
    WavpackConfig config_{};
};
