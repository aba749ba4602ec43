#include "codecs/ape/ape_decompress.h"

#include "codecs/ape/ape_error.h"
#include "tags/text_encoding.h"

#include <limits>

namespace {

// wchar_t is UTF-32 on Linux: surrogate pairs of the UTF-16 form are joined.
std::wstring WideName(std::string_view utf8) {
    const std::u16string utf16 = tags::Utf8ToUtf16(utf8);
    std::wstring wide;
    wide.reserve(utf16.size());
    for (size_t i = 0; i < utf16.size(); ++i) {
        const char32_t unit = utf16[i];
        if (unit >= 0xD800 && unit <= 0xDBFF && i + 1 < utf16.size() && utf16[i + 1] >= 0xDC00 &&
            utf16[i + 1] <= 0xDFFF) {
            wide.push_back(wchar_t(0x10000 + ((unit - 0xD800) << 10) + (utf16[++i] - 0xDC00)));
        } else {
            wide.push_back(wchar_t(unit));
        }
    }
    return wide;
}

} // namespace

TAPEDecompress::TAPEDecompress(const MacApi& api, std::string_view utf8FileName) : api_(api) {
    int error = 0;
    const APE_DECOMPRESS_HANDLE handle =
        api_.c_APEDecompress_CreateW(WideName(utf8FileName).c_str(), &error);
    Adopt(handle, error);
}

TAPEDecompress::TAPEDecompress(const MacApi& api, int fd) : api_(api) {
    int error = 0;
    const APE_DECOMPRESS_HANDLE handle = api_.c_APEDecompress_CreateFd(fd, &error);
    Adopt(handle, error);
}

void TAPEDecompress::Adopt(APE_DECOMPRESS_HANDLE handle, int error) {
    if (handle != 0) handle_ = {handle, api_.c_APEDecompress_Destroy};
    if (error == 0) return;
    const char* reason =
        api_.c_APEDecompress_GetLastErrorText ? api_.c_APEDecompress_GetLastErrorText() : nullptr;
    throw EAPEException(error, reason != nullptr ? reason : "");
}

std::intptr_t TAPEDecompress::GetInfo(int field) const {
    return api_.c_APEDecompress_GetInfo(Handle(), field, 0, 0);
}

int TAPEDecompress::GetData(uint8_t* buffer, std::intptr_t blocks, std::intptr_t& retrieved) {
    retrieved = 0;
    return api_.c_APEDecompress_GetData(Handle(), reinterpret_cast<char*>(buffer), blocks,
                                        &retrieved);
}

int TAPEDecompress::Seek(int64_t frame) {
    if (frame < 0 || frame > std::numeric_limits<std::intptr_t>::max())
        return ERROR_INVALID_FUNCTION_PARAMETER;
    return api_.c_APEDecompress_Seek(Handle(), std::intptr_t(frame));
}
