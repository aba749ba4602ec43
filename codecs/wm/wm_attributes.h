// Attribute values of a Windows Media header as tag text: strings up to their terminating
// zero, numbers in decimal; the track from WM/TrackNumber, else the zero-based WM/Track + 1.
#pragma once

#include "platform/wmvcore/wmvcore_api.h"

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

// The value as text; empty for kinds that hold none (binary, GUID).
std::string WMAttributeText(WMT_ATTR_DATATYPE type, std::span<const uint8_t> value);
// A file-level attribute read in two calls (its length, then its bytes); nothing when it is
// absent or cannot be read.
std::optional<std::string> ReadWMAttribute(IWMHeaderInfo& header, std::u16string_view name);
// The track number as players show it.
std::string WMTrackText(const std::optional<std::string>& trackNumber,
                        const std::optional<std::string>& zeroBasedTrack);
// What WM/Track holds for a track text: one less for a number from 1 on, else the text.
std::string WMZeroBasedTrack(std::string_view track);
