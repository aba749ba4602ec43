#include "codecs/ape/ape_compress.h"

#include "codecs/ape/ape_error.h"

TAPECompress::TAPECompress(const MacApi& api) : api_(api) {
    int error = 0;
    const APE_COMPRESS_HANDLE handle = api_.c_APECompress_Create(&error);
    if (handle != 0) handle_ = {handle, api_.c_APECompress_Destroy};
    // No handle without a code would leave nothing to report: take it as lack of memory.
    if (error != 0 || handle == 0)
        throw EAPEException(error != 0 ? error : ERROR_INSUFFICIENT_MEMORY);
}

int TAPECompress::Start(const std::string& fileName, const APE_WAVEFORMATEX& format,
                        int64_t maxAudioBytes, int compressionLevel) {
    return api_.c_APECompress_Start(Handle(), fileName.c_str(), &format, maxAudioBytes,
                                    compressionLevel, nullptr, 0);
}

unsigned char* TAPECompress::LockBuffer(int64_t& bytesAvailable) {
    bytesAvailable = 0;
    return api_.c_APECompress_LockBuffer(Handle(), &bytesAvailable);
}

int TAPECompress::UnlockBuffer(int64_t bytesAdded) {
    return api_.c_APECompress_UnlockBuffer(Handle(), bytesAdded, 1);
}

int TAPECompress::Finish() {
    return api_.c_APECompress_Finish(Handle(), nullptr, 0, 0);
}
