// The Windows Media sink's format choice over the runtime's real ladder and over odd lists, the
// attribute texts and track numbers, and which status notifications count as failures.
#include "codecs/wm/wm_attributes.h"
#include "codecs/wm/wm_carried.h"
#include "codecs/wm/wm_error_callback.h"
#include "codecs/wm/wm_format_search.h"
#include "tags/text_encoding.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

constexpr uint32_t kLadder[] = {24, 32, 40, 48, 64, 80, 96, 112, 128, 144, 160, 192, 256, 320, 384};

// The runtime's list, in its order (bit rate, then 48 kHz down to 8 kHz, stereo then mono), or
// reversed: the choice must not depend on the order.
std::vector<TWMCodecFormat> Ladder(bool reversed = false) {
    std::vector<TWMCodecFormat> formats;
    for (uint32_t kbps : kLadder)
        for (int rate : {48000, 44100, 32000, 22050, 16000, 11025, 8000})
            for (int channels : {2, 1})
                formats.push_back({channels, rate, 16, kbps * 1000, false, false, 0});
    if (reversed) std::reverse(formats.begin(), formats.end());
    return formats;
}

TWMCodecFormat Chosen(const std::vector<TWMCodecFormat>& formats, const TWMFormatRequest& r) {
    const auto index = ChooseWMFormat(formats, r);
    EXPECT_TRUE(index.has_value());
    return index ? formats[*index] : TWMCodecFormat{};
}

} // namespace

TEST(WMFormatSearch, ChannelsThenRateThenBitRateWhateverTheListOrder) {
    for (bool reversed : {false, true}) {
        SCOPED_TRACE(reversed ? "reversed" : "runtime order");
        const auto formats = Ladder(reversed);
        struct Case {
            TWMFormatRequest request;
            int channels, rate;
            uint32_t bitRate;
        };
        const Case cases[] = {
            {{2, 44100, 16, 144000, false, false}, 2, 44100, 144000},
            {{1, 44100, 16, 80000, false, false}, 1, 44100, 80000},
            {{2, 22050, 16, 100000, false, false}, 2, 22050, 96000},
            // Wider input is folded to stereo, faster input goes to 48 kHz, any width is taken.
            {{6, 48000, 24, 192000, false, false}, 2, 48000, 192000},
            {{2, 96000, 16, 320000, false, false}, 2, 48000, 320000},
            {{2, 88200, 8, 128000, false, false}, 2, 48000, 128000},
            {{1, 12000, 32, 50000, false, false}, 1, 11025, 48000},
            // Below the floor and above the top: the nearest rung.
            {{2, 44100, 16, 8000, false, false}, 2, 44100, 24000},
            {{2, 44100, 16, 1000000, false, false}, 2, 44100, 384000},
        };
        for (const Case& c : cases) {
            const TWMCodecFormat f = Chosen(formats, c.request);
            EXPECT_EQ(f.channels, c.channels) << c.request.channels << " " << c.request.sampleRate;
            EXPECT_EQ(f.sampleRate, c.rate) << c.request.sampleRate;
            EXPECT_EQ(f.bitRate, c.bitRate) << c.request.target;
        }
    }
}

TEST(WMFormatSearch, LosslessTakesALosslessFormatElseTheHighestRateAboveTheLadder) {
    auto formats = Ladder();
    TWMFormatRequest request{2, 44100, 16, 0, false, true};
    EXPECT_EQ(Chosen(formats, request).bitRate, 384000u);
    EXPECT_EQ(Chosen(formats, request).sampleRate, 44100);
    formats.push_back({2, 48000, 16, 500000, false, false, 0});
    request.sampleRate = 48000;
    EXPECT_EQ(Chosen(formats, request).bitRate, 500000u);
    // A real lossless format wins over any rate; one of the input's rate over another.
    formats.push_back({2, 48000, 24, 0, true, true, 0});
    formats.push_back({2, 44100, 16, 0, true, true, 0});
    request.sampleRate = 44100;
    const TWMCodecFormat f = Chosen(formats, request);
    EXPECT_TRUE(f.lossless);
    EXPECT_EQ(f.sampleRate, 44100);
    // Nothing above 320 kbit/s and nothing lossless: no format.
    std::vector<TWMCodecFormat> low = Ladder();
    std::erase_if(low, [](const TWMCodecFormat& x) { return x.bitRate > 320000; });
    EXPECT_FALSE(ChooseWMFormat(low, request).has_value());
}

TEST(WMFormatSearch, VariableRateByQualityAndNothingForNoChannels) {
    std::vector<TWMCodecFormat> formats = Ladder();
    TWMFormatRequest request{2, 44100, 16, 75, true, false};
    EXPECT_FALSE(ChooseWMFormat(formats, request).has_value()); // no VBR formats listed
    for (uint32_t q : {10, 50, 90, 98})
        formats.push_back({2, 44100, 16, 0, false, true, q});
    EXPECT_EQ(Chosen(formats, request).quality, 90u);
    EXPECT_FALSE(ChooseWMFormat(formats, {0, 44100, 16, 128000, false, false}).has_value());
    EXPECT_FALSE(ChooseWMFormat({}, {2, 44100, 16, 128000, false, false}).has_value());
}

TEST(WMAttributes, ValuesByTheirTypeAndTheTrackRules) {
    const std::vector<uint8_t> text = {'A', 0, 0xE9, 0, 0x3D, 0xD8, 0x00, 0xDE, 0, 0, 'x', 0};
    EXPECT_EQ(WMAttributeText(WMT_TYPE_STRING, text), "Aé😀"); // up to the terminating zero
    EXPECT_EQ(WMAttributeText(WMT_TYPE_STRING, std::vector<uint8_t>{'7', 0}), "7"); // no zero
    EXPECT_EQ(WMAttributeText(WMT_TYPE_DWORD, std::vector<uint8_t>{0x0C, 0, 0, 0}), "12");
    EXPECT_EQ(WMAttributeText(WMT_TYPE_WORD, std::vector<uint8_t>{0xD1, 0x07}), "2001");
    EXPECT_EQ(WMAttributeText(WMT_TYPE_QWORD, std::vector<uint8_t>{1, 0, 0, 0, 1, 0, 0, 0}),
              "4294967297");
    EXPECT_EQ(WMAttributeText(WMT_TYPE_DWORD, std::vector<uint8_t>{1, 2}), ""); // too short
    EXPECT_EQ(WMAttributeText(WMT_TYPE_BINARY, std::vector<uint8_t>{1, 2, 3}), "");

    EXPECT_EQ(WMTrackText(std::string("01/02"), std::string("0")), "01/02");
    EXPECT_EQ(WMTrackText(std::nullopt, std::string("4")), "5"); // WM/Track counts from 0
    EXPECT_EQ(WMTrackText(std::string(""), std::string("0")), "1");
    EXPECT_EQ(WMTrackText(std::nullopt, std::string("B-side")), "B-side");
    EXPECT_EQ(WMTrackText(std::nullopt, std::nullopt), "");
    EXPECT_EQ(WMZeroBasedTrack("7"), "6");
    EXPECT_EQ(WMZeroBasedTrack("0"), "0");
    EXPECT_EQ(WMZeroBasedTrack("3/12"), "3/12");
}

TEST(WMErrorCallback, OnlyFailuresRaiseTheStateAndEveryCallSucceeds) {
    auto state = std::make_shared<TWMErrorState>();
    auto callback = wmvcore::MakeCom<TWMErrorCallback>(state);
    for (int status = 0; status < 40; ++status) {
        state->Clear();
        EXPECT_EQ(callback->OnStatus(WMT_STATUS(status), E_FAIL, WMT_TYPE_DWORD, nullptr, nullptr),
                  S_OK);
        const bool failure = status == 0 || status == 9 || status == 26 || status == 30;
        EXPECT_EQ(state->Raised(), failure) << status;
        if (failure) {
            EXPECT_EQ(state->Status(), status);
        }
    }
    // The callback keeps the state alive for a notification arriving after the sink went.
    std::weak_ptr<TWMErrorState> weak = state;
    state.reset();
    EXPECT_FALSE(weak.expired());
    callback.Reset();
    EXPECT_TRUE(weak.expired());
}

TEST(WMPicture, WholeCutAndDamagedValues) {
    // Type, 32-bit length, MIME and description in UTF-16LE with their zeros, data.
    std::vector<uint8_t> value = {4, 3, 0, 0, 0};
    for (const char* text : {"image/png", "bäck"}) {
        for (const char16_t c : tags::Utf8ToUtf16(text))
            value.insert(value.end(), {uint8_t(c & 0xFF), uint8_t(c >> 8)});
        value.insert(value.end(), {0, 0});
    }
    value.insert(value.end(), {0x89, 'P', 'N'});
    const auto picture = ParseWMPicture(value);
    ASSERT_TRUE(picture);
    EXPECT_EQ(picture->Type, 4u);
    EXPECT_EQ(picture->Mime, "image/png");
    EXPECT_EQ(picture->Description, "bäck");
    EXPECT_EQ(picture->Data, (std::vector<uint8_t>{0x89, 'P', 'N'}));
    // Cut anywhere, the data no longer fits its length.
    for (size_t cut = 0; cut < value.size(); ++cut)
        EXPECT_FALSE(ParseWMPicture(std::span(value).first(cut))) << cut;
    // A length past the end, up to 4 GiB, and texts without their zeros.
    for (const uint8_t top : {uint8_t(0x01), uint8_t(0x80), uint8_t(0xFF)}) {
        auto damaged = value;
        damaged[4] = top;
        EXPECT_FALSE(ParseWMPicture(damaged));
    }
    std::vector<uint8_t> unterminated = {3, 0, 0, 0, 0, 'a', 0, 'b', 0};
    EXPECT_FALSE(ParseWMPicture(unterminated));
}
