// A media type read from the runtime's media properties, kept in a buffer of its own together
// with the format block it points to.
#pragma once

#include "platform/wmvcore/wmvcore_api.h"

#include <algorithm>
#include <cstring>
#include <vector>

struct TWMMediaType {
    std::vector<uint64_t> storage;
    WM_MEDIA_TYPE* type = nullptr; // null when it could not be read

    // Asks for the size, then for the record and its format block.
    static TWMMediaType Of(IWMMediaProps& props) {
        TWMMediaType media;
        DWORD size = 0;
        if (Failed(props.GetMediaType(nullptr, &size)) || size < sizeof(WM_MEDIA_TYPE))
            return media;
        media.storage.resize((size + 7) / 8);
        auto* type = reinterpret_cast<WM_MEDIA_TYPE*>(media.storage.data());
        if (Succeeded(props.GetMediaType(type, &size))) media.type = type;
        return media;
    }
    bool IsAudio() const { return type != nullptr && type->majortype == WMMEDIATYPE_Audio; }
    bool IsWave() const {
        return type != nullptr && type->formattype == WMFORMAT_WaveFormatEx &&
               type->pbFormat != nullptr && type->cbFormat >= sizeof(WAVEFORMATEX) - sizeof(WORD);
    }
    // The wave format (IsWave first).
    WAVEFORMATEX Wave() const {
        WAVEFORMATEX wave{};
        std::memcpy(&wave, type->pbFormat, std::min<size_t>(type->cbFormat, sizeof wave));
        return wave;
    }
};
