#include "codecs/ape/ape_error.h"

#include <array>
#include <utility>

namespace {

constexpr std::array<std::pair<int, const char*>, 23> kErrorTexts{{
    {0, "OK"},
    {1000, "I/O read error"},
    {1001, "I/O write error"},
    {1002, "invalid input file"},
    {1003, "invalid output file"},
    {1004, "input file file too large"},
    {1005, "input file unsupported bit depth"},
    {1006, "input file unsupported sample rate"},
    {1007, "input file unsupported channel count"},
    {1008, "input file too small"},
    {1009, "invalid checksum"},
    {1010, "decompressing frame"},
    {1011, "initializing unmac"},
    {1012, "invalid function parameter"},
    {1013, "unsupported file type"},
    {2000, "insufficient memory"},
    {3000, "loading MAC.dll"},
    {3001, "loading MACinfo.dll"},
    {3002, "loading UnMAC.dll"},
    {4000, "user stopped processing"},
    {4001, "skipped..."},
    {5000, "bad parameter"},
    {6000, "APE compress too much data"},
}};

std::string Message(int code, std::string_view reason) {
    std::string message = "MACDll error: " + ApeErrorText(code);
    if (!reason.empty()) message.append(": ").append(reason);
    return message;
}

} // namespace

std::string ApeErrorText(int code) {
    for (const auto& [value, text] : kErrorTexts)
        if (value == code) return text;
    return "undefined (" + std::to_string(code) + ")";
}

EAPEException::EAPEException(int code, std::string_view reason)
    : std::runtime_error(Message(code, reason)), code_(code) {}
