// The Monkey's Audio library's error codes in words, and EAPEException, raised when the
// library refuses to create a compressor or decompressor.
#pragma once

#include <stdexcept>
#include <string>
#include <string_view>

// The text of a library error code; "undefined (<code>)" for a code the table lacks.
std::string ApeErrorText(int code);

class EAPEException : public std::runtime_error {
public:
    // "MACDll error: " and the code's text, then ": " and the library's own reason when it
    // gave one.
    explicit EAPEException(int code, std::string_view reason = {});
    int Code() const { return code_; }

private:
    int code_;
};
