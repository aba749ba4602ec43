// A-law and µ-law (ITU-T G.711): one byte per sample, expanded by the standard tables.
#include "platform/msacm32/acm_codec.h"

#include <algorithm>
#include <array>

namespace {

int16_t ExpandALaw(uint8_t code) {
    code ^= 0x55;
    int magnitude = (code & 0x0F) << 4;
    const int segment = (code & 0x70) >> 4;
    magnitude += segment == 0 ? 8 : 0x108;
    if (segment > 1) magnitude <<= segment - 1;
    return int16_t((code & 0x80) ? magnitude : -magnitude);
}

int16_t ExpandMuLaw(uint8_t code) {
    code = uint8_t(~code);
    const int magnitude = (((code & 0x0F) << 3) + 0x84) << ((code & 0x70) >> 4);
    return int16_t((code & 0x80) ? 0x84 - magnitude : magnitude - 0x84);
}

using Table = std::array<int16_t, 256>;

Table MakeTable(int16_t (*expand)(uint8_t)) {
    Table table{};
    for (int i = 0; i < 256; ++i)
        table[size_t(i)] = expand(uint8_t(i));
    return table;
}

class G711Codec final : public AcmCodec {
public:
    G711Codec(const Table& table, uint16_t channels) : table_(table), channels_(channels) {}

    bool Convert(std::span<const uint8_t> src, std::span<uint8_t> dst, size_t& taken,
                 size_t& given) override {
        size_t samples = std::min(src.size(), dst.size() / 2);
        samples -= samples % channels_;
        for (size_t i = 0; i < samples; ++i) {
            const auto value = uint16_t(table_[src[i]]);
            dst[2 * i] = uint8_t(value);
            dst[2 * i + 1] = uint8_t(value >> 8);
        }
        taken = samples;
        given = samples * 2;
        return true;
    }
    void Restart() override {}
    uint64_t DestinationBytesFor(uint64_t sourceBytes) const override { return sourceBytes * 2; }
    uint64_t SourceBytesFor(uint64_t destinationBytes) const override {
        return destinationBytes / 2;
    }

private:
    const Table& table_;
    uint16_t channels_;
};

} // namespace

MMRESULT CheckG711Format(const WAVEFORMATEX& format) {
    if (format.nChannels == 0 || format.nSamplesPerSec == 0 || format.wBitsPerSample != 8 ||
        format.nBlockAlign != format.nChannels)
        return ACMERR_NOTPOSSIBLE;
    return MMSYSERR_NOERROR;
}

std::unique_ptr<AcmCodec> MakeG711Codec(const WAVEFORMATEX& format) {
    static const Table aLaw = MakeTable(ExpandALaw);
    static const Table muLaw = MakeTable(ExpandMuLaw);
    return std::make_unique<G711Codec>(format.wFormatTag == WAVE_FORMAT_ALAW ? aLaw : muLaw,
                                       format.nChannels);
}
