#include "codecs/tta/tta_in.h"

#include "codecs/tta/tta_library.h"
#include "pipeline/au_exception.h"
#include "pipeline/pcm_convert.h"
#include "pipeline/read_request.h"

#include <algorithm>
#include <span>
#include <unistd.h>

TTTAIn::~TTTAIn() {
    CloseSource();
}

void TTTAIn::RequireLibrary() {
    Tta::Library().Require();
}

// The library reads a file descriptor of its own, not the source's stream.
void TTTAIn::OpenFile() {
    file_ = OpenDescriptor();
    ReadTags(file_.Get());
    // Both tags where a file has them; the APEv2 tag's values win.
    CarryApeTag(file_.Get());
    CarryId3v2Tag(file_.Get());
    decoder_ = std::make_unique<TTTADecoder>(file_.Get());
    seekable_ = false;
    position_ = 0;
    const int32_t bits = decoder_->BitsPerSample();
    const int32_t rate = decoder_->SampleRate();
    const int32_t channels = decoder_->NumChannels();
    const int32_t length = decoder_->DataLength();
    // The library delivers 8, 16 and 24-bit integer samples; anything else is not audio
    // this source can pass on.
    const bool usable = (bits == 8 || bits == 16 || bits == 24) && channels > 0 && rate > 0;
    bitsPerSample_ = static_cast<uint32_t>(std::max(bits, 0));
    sampleRate_ = static_cast<uint32_t>(std::max(rate, 0));
    channels_ = static_cast<uint32_t>(std::max(channels, 0));
    frameBytes_ = usable ? uint32_t((bits + 7) / 8) * uint32_t(channels) : 0;
    totalSamples_ = length;
    size_ = length < 0 ? -1 : int64_t(length) * frameBytes_;
    totalTime_ = usable && length >= 0 ? uint32_t(length / rate) : 0;
    fileValid_ = usable;
    FillCommonTags();
    pending_.clear();
    pendingStart_ = 0;
}

FileHandle TTTAIn::OpenDescriptor() {
    if (streamAssigned_ && stream_ != nullptr) return FileHandle::CopyToUnnamedTempFile(*stream_);
    if (fileName_.empty()) throw EAuException("File name is not defined!");
    return FileHandle::OpenForReading(fileName_);
}

void TTTAIn::ReadTags(int fd) {
    // ID3v1 sits at the end; reading it must not move the descriptor off the start.
    id3v1Tags_.ReadFromFile(fd);
    if (::lseek(fd, 0, SEEK_SET) != 0) throw EAuException("Unable to open file for input!");
    id3v2Tags_.Clear();
    // The decoder starts where the descriptor stands: after the ID3v2 tag when there is one.
    if (id3v2Tags_.ProbeFile(fd) && !id3v2Tags_.ReadFromFile(fd))
        throw EAuException("Broken or unsupported Id3v2 tags was found!");
}

void TTTAIn::FillCommonTags() {
    // Each field from the ID3v2 tag when it has it, else from the ID3v1 block.
    const auto pick = [](const std::string& id3v2, const std::string& id3v1) {
        return id3v2.empty() ? id3v1 : id3v2;
    };
    const bool haveId3v1 = !id3v1Tags_.Empty();
    const auto number = [&](uint32_t value) {
        return haveId3v1 && value > 0 ? std::to_string(value) : std::string();
    };
    // An ID3v1 genre outside the table (255 marks none) names no genre.
    const int64_t genreId = id3v1Tags_.GetField("genre").Integer();
    const std::string id3v1Genre =
        haveId3v1 && genreId == id3v1Tags_.GenreId() ? id3v1Tags_.Genre() : std::string();
    commonTags_.Clear();
    commonTags_.SetTitle(pick(id3v2Tags_.Title(), id3v1Tags_.Title()));
    commonTags_.SetArtist(pick(id3v2Tags_.Artist(), id3v1Tags_.Artist()));
    commonTags_.SetAlbum(pick(id3v2Tags_.Album(), id3v1Tags_.Album()));
    commonTags_.SetGenre(pick(id3v2Tags_.Genre(), id3v1Genre));
    commonTags_.SetYear(pick(id3v2Tags_.Year(), number(id3v1Tags_.Year())));
    commonTags_.SetTrack(pick(id3v2Tags_.Track(), number(id3v1Tags_.Track())));
}

void TTTAIn::CloseFormat() {
    decoder_.reset(); // before its descriptor closes (a temporary file then disappears)
    seekable_ = true;
    file_.Close();
    pending_ = {};
    pendingStart_ = 0;
}

void TTTAIn::DecodeUntil(size_t wanted) {
    // What is left moves to the front: less than one request, so this stays cheap.
    pending_.erase(pending_.begin(), pending_.begin() + std::ptrdiff_t(pendingStart_));
    pendingStart_ = 0;
    const int bits = int(bitsPerSample_);
    while (pending_.size() < wanted) {
        TTTADecoder::Block block;
        try {
            block = decoder_->GetBlock();
        } catch (...) {
            corrupt_ = true;
            throw;
        }
        if (block.frames == 0) return;
        const size_t values = size_t(block.frames) * channels_;
        const size_t at = pending_.size();
        pending_.resize(at + size_t(block.frames) * frameBytes_);
        Pcm::FromInt32(std::span(block.values, values), bits, std::span(pending_).subspan(at));
    }
}

void TTTAIn::ReadData(const uint8_t*& buffer, uint32_t& bytes) {
    if (!busy_) throw EAuException("File for input is not opened!");
    buffer = nullptr;
    if (bytes == 0) return;
    if (decoder_ == nullptr || frameBytes_ == 0) {
        bytes = 0;
        return;
    }
    const uint64_t wanted = BytesWanted(bytes, size_, position_);
    if (pending_.size() - pendingStart_ < wanted) DecodeUntil(size_t(wanted));
    const size_t available = pending_.size() - pendingStart_;
    bytes = static_cast<uint32_t>(std::min<uint64_t>(wanted, available));
    if (bytes > 0) buffer = pending_.data() + pendingStart_;
    pendingStart_ += bytes;
}

bool TTTAIn::SeekSample(int64_t&) {
    return false;
}
