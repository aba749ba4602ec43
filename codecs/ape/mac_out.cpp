#include "codecs/ape/mac_out.h"

#include "codecs/ape/ape_error.h"
#include "codecs/ape/mac_library.h"
#include "pipeline/au_exception.h"
#include "support/unique_fd.h"
#include "tags/carried/apev2_carried.h"
#include "tags/file_io.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <optional>

TMACOut::~TMACOut() {
    Shutdown();
}

void TMACOut::SetCompressionLevel(int value) {
    const bool known = value == COMPRESSION_LEVEL_FAST || value == COMPRESSION_LEVEL_NORMAL ||
                       value == COMPRESSION_LEVEL_HIGH || value == COMPRESSION_LEVEL_EXTRA_HIGH ||
                       value == COMPRESSION_LEVEL_INSANE;
    compressionLevel_ = known ? value : COMPRESSION_LEVEL_NORMAL;
}

void TMACOut::PrepareOutput() {
    const MacApi& api = MacLibrary().Require();
    if (fileName_.empty()) throw EAuException("File name is not assigned.");
    // Created (exclusively, when asked) and closed again: the library opens the path itself.
    OpenOutputStream();
    CloseOutputStream();
    TAuInput& input = *Input();
    input.Init();
    endOfInput_ = false;
    compressor_.emplace(api);
    const int bits = input.GetBitsPerSample();
    const int channels = input.GetChannels();
    api.FillWaveFormatEx(&waveFormat_, input.GetSampleRate(), bits, channels);
    frameBytes_ = size_t(std::max(channels, 0)) * size_t(std::max(bits, 0) / 8);
    const int result =
        compressor_->Start(fileName_, waveFormat_, maxAudioBytes_, compressionLevel_);
    outputActive_ = result == 0;
    if (result != 0) throw EAuException("Error starting APECompress.\r\n" + ApeErrorText(result));
}

bool TMACOut::OutputBlock(bool abort) {
    if (!outputActive_) return true;
    if (abort || endOfInput_ || !compressor_ || frameBytes_ == 0) return false;
    // The largest whole number of frames that fits the transfer buffer.
    bool endReached = false;
    const size_t frames = PullFrames(transfer_, frameBytes_, endReached);
    if (endReached) endOfInput_ = true;
    Compress(frames * frameBytes_);
    return true;
}

void TMACOut::Compress(size_t bytes) {
    size_t done = 0;
    while (done < bytes) {
        int64_t available = 0;
        unsigned char* target = compressor_->LockBuffer(available);
        // A library without room would never take the rest.
        if (target == nullptr || available <= 0)
            throw EAuException("APECompress.LockBuffer Error: no buffer space");
        const size_t count = std::min(size_t(available), bytes - done);
        std::memcpy(target, transfer_.data() + done, count);
        if (const int result = compressor_->UnlockBuffer(int64_t(count)); result != 0)
            throw EAuException("APECompress.UnlockBuffer Error: " + std::to_string(result));
        done += count;
    }
}

std::string TMACOut::CompleteFile() {
    // A file whose last write failed is not a Monkey's Audio file, whatever was written before.
    if (const int result = compressor_->Finish(); result != 0)
        return "APECompress.Finish Error: " + ApeErrorText(result);
    compressor_.reset();
    if (!carried_.Empty()) return AppendCarriedTag();
    if (apev2Tags_.Empty()) return {};
    const MacApi& api = MacLibrary().Require();
    const std::string artist = apev2Tags_.Artist(), album = apev2Tags_.Album(),
                      title = apev2Tags_.Title(), comment = apev2Tags_.Comment(),
                      genre = apev2Tags_.Genre(), year = apev2Tags_.Year(),
                      track = apev2Tags_.Track();
    if (const int result =
            api.TagFileSimple(fileName_.c_str(), artist.c_str(), album.c_str(), title.c_str(),
                              comment.c_str(), genre.c_str(), year.c_str(), track.c_str(), 1, 0);
        result != 0)
        return "TagFileSimple Error: " + ApeErrorText(result);
    return {};
}

std::string TMACOut::AppendCarriedTag() {
    std::vector<tags::ApeItem> own;
    for (int i = 0; i < apev2Tags_.FieldCount(); ++i) {
        const std::string name = apev2Tags_.FieldName(i);
        if (apev2Tags_.GetField(name).IsText()) own.push_back({name, apev2Tags_.AsString(name), 0});
    }
    std::vector<tags::ApeItem> items = tags::MergedApeItems(own, carried_);
    // The items hold the pictures now.
    carried_.DropPictures();
    const std::vector<uint8_t> tag = tags::BuildApeTag(items);
    items.clear();
    const support::UniqueFd file(::open(fileName_.c_str(), O_WRONLY | O_CLOEXEC));
    const std::optional<int64_t> end = file.Valid() ? tags::FileSize(file.Get()) : std::nullopt;
    if (!end || !tags::WriteAt(file.Get(), *end, tag))
        return "The tag could not be written (" + std::string(std::strerror(errno)) + ")";
    return {};
}

void TMACOut::FinishOutput() {
    std::string failure;
    // A failed run is neither finished nor tagged: the caller removes what it left.
    if (compressor_ && ErrorMessage().empty()) {
        try {
            failure = CompleteFile();
        } catch (const std::exception& e) {
            failure = e.what();
        }
    }
    compressor_.reset();
    FlushInputQuietly();
    if (!failure.empty()) throw EAuException(failure);
}
