// The page scan that finds the links of a chained Ogg file: any bytes end in a layout whose
// links start in order inside the stream.
#include "codecs/vorbis/ogg_links.h"

#include <algorithm>
#include <cstring>

namespace {

class SpanStream final : public TStream {
public:
    explicit SpanStream(std::span<const uint8_t> bytes) : bytes_(bytes) {}
    size_t Read(std::span<uint8_t> buffer) override {
        const size_t n = std::min(buffer.size(), bytes_.size() - position_);
        if (n > 0) std::memcpy(buffer.data(), bytes_.data() + position_, n);
        position_ += n;
        return n;
    }
    size_t Write(std::span<const uint8_t>) override { return 0; }
    int64_t Seek(int64_t offset, Origin origin) override {
        const int64_t base = origin == Origin::Begin     ? 0
                             : origin == Origin::Current ? int64_t(position_)
                                                         : int64_t(bytes_.size());
        if (base + offset < 0 || uint64_t(base + offset) > bytes_.size()) return -1;
        position_ = size_t(base + offset);
        return int64_t(position_);
    }
    int64_t Size() override { return int64_t(bytes_.size()); }
    bool Truncate() override { return false; }

private:
    std::span<const uint8_t> bytes_;
    size_t position_ = 0;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    SpanStream stream({data, size});
    const OggLayout layout = ScanOggLayout(stream);
    if (layout.length != int64_t(size) || layout.linkStarts.empty() || layout.linkStarts[0] != 0)
        __builtin_trap();
    for (size_t i = 1; i < layout.linkStarts.size(); ++i)
        if (layout.linkStarts[i] <= layout.linkStarts[i - 1] ||
            layout.linkStarts[i] + 28 > int64_t(size))
            __builtin_trap();
    return 0;
}
