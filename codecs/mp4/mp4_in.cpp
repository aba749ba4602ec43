#include "codecs/mp4/mp4_in.h"

#include "pipeline/au_exception.h"
#include "pipeline/stream_bridge.h"
#include "tags/carried/mp4_carried.h"

#include <algorithm>
#include <cstdio>
#include <optional>
#include <sstream>
#include <string>

namespace {

// iTunes' gapless record "iTunSMPB": hex fields, the second the encoder's priming, the fourth
// the length of the original audio, both in output frames.
struct GaplessRecord {
    int64_t priming = 0;
    int64_t length = 0;
};

std::optional<GaplessRecord> ParseGaplessRecord(const std::string& text) {
    std::istringstream in(text);
    std::string fields[4];
    for (auto& field : fields)
        if (!(in >> field) || field.size() > 16) return std::nullopt;
    try {
        GaplessRecord record{int64_t(std::stoull(fields[1], nullptr, 16)),
                             int64_t(std::stoull(fields[3], nullptr, 16))};
        if (record.priming < 0 || record.length <= 0) return std::nullopt;
        return record;
    } catch (const std::exception&) {
        return std::nullopt;
    }
}

} // namespace

// The stream callbacks of the container reader: C code calls them, so nothing may throw out of
// them, and any failure of the stream is 0.
struct TMP4In::Callbacks {
    static uint32_t Read(void* user, void* buffer, uint32_t length) {
        const int64_t got = StreamBridge::Read(static_cast<TMP4In*>(user)->stream_, buffer, length);
        return got > 0 ? uint32_t(got) : 0;
    }
    static uint32_t Write(void* user, void* buffer, uint32_t length) {
        const int64_t done =
            StreamBridge::Write(static_cast<TMP4In*>(user)->stream_, buffer, length);
        return done > 0 ? uint32_t(done) : 0;
    }
    static uint64_t Seek(void* user, uint64_t position) {
        if (position > uint64_t(INT64_MAX)) return 0;
        const int64_t reached =
            StreamBridge::Seek(static_cast<TMP4In*>(user)->stream_, int64_t(position), SEEK_SET);
        return reached == int64_t(position) ? position : 0;
    }
    static uint32_t Truncate(void*) { return 0; }
};

TMP4In::~TMP4In() {
    CloseSource();
}

void TMP4In::RequireLibrary() {
    mp4ff_ = &Mp4ffLibrary().Require();
    FaadLibrary().Require();
}

void TMP4In::OpenFormat(TStream&) {
    // The container reads the stream through the callbacks.
    const FaadApi& faad = FaadLibrary().Entries();
    callbacks_ = {&Callbacks::Read, &Callbacks::Write, &Callbacks::Seek, &Callbacks::Truncate,
                  this};
    mp4ff_t* file = mp4ff_->mp4ff_open_read(&callbacks_);
    if (file == nullptr) throw EAuException("Unable to open file.");
    container_ = {file, mp4ff_->mp4ff_close};

    decoder_ = ChooseTrack(faad);
    bitsPerSample_ = decoder_->BitsPerSample();
    sampleRate_ = decoder_->SampleRate();
    channels_ = decoder_->Channels();
    SetPlayWindow();
    size_ = totalFrames_ * channels_ * (bitsPerSample_ / 8);
    seekable_ = size_ > 0;
    ReadTags();
    StartAt(0);
    fileValid_ = true;
}

std::unique_ptr<Mp4TrackDecoder> TMP4In::ChooseTrack(const FaadApi& faad) {
    const Mp4ffApi& mp4ff = *mp4ff_;
    mp4ff_t* file = container_.Get();
    const int32_t tracks = mp4ff.mp4ff_total_tracks(file);
    const bool lossless =
        mp4ff.mp4ff_alac_open && mp4ff.mp4ff_alac_decode && mp4ff.mp4ff_alac_close;
    for (int32_t track = 0; track < tracks; ++track) {
        // Only audio tracks, and only one whose configuration a decoder takes: a video file
        // may carry a configuration in an earlier track.
        if (mp4ff.mp4ff_get_track_type(file, track) != MP4FF_TRACK_AUDIO) continue;
        unsigned char* config = nullptr;
        unsigned int size = 0;
        mp4ff.mp4ff_get_decoder_config(file, track, &config, &size);
        if (config == nullptr) continue;
        OwnedHandle<unsigned char*> owned(config, mp4ff.mp4ff_free_decoder_config);
        if (mp4ff.mp4ff_get_audio_type(file, track) == MP4FF_AUDIO_TYPE_ALAC) {
            if (!lossless) continue;
            track_ = track;
            return std::make_unique<AlacTrackDecoder>(mp4ff, file, track);
        }
        mp4AudioSpecificConfig parsed{};
        if (faad.NeAACDecAudioSpecificConfig(config, size, &parsed) != 0) continue;
        track_ = track;
        return std::make_unique<AacTrackDecoder>(faad, mp4ff, file, track,
                                                 std::span<const uint8_t>(config, size));
    }
    throw EAuException("Unable to find correct AAC sound track in the MP4 file.");
}

void TMP4In::SetPlayWindow() {
    const Mp4TrackDecoder& decoder = *decoder_;
    const int64_t decoded = decoder.DecodedFrames();
    // Without an edit list or a gapless record: all that the decoder gives.
    int64_t start = 0;
    int64_t end = decoded;
    int64_t mediaStart = 0, editDuration = 0;
    std::optional<GaplessRecord> gapless;
    if (mp4ff_->mp4ff_get_track_edit &&
        mp4ff_->mp4ff_get_track_edit(container_.Get(), track_, &mediaStart, &editDuration)) {
        // The edit plays the media from its start for its duration; the decoder's own delay
        // is already gone from its output, and the media ends with the last sample's duration.
        start = decoder.ToFrames(mediaStart) - decoder.Delay();
        const int64_t units = decoder.TrackUnits();
        if (units > 0) end = decoder.ToFrames(units) - decoder.Delay();
        if (editDuration > 0) end = std::min(end, start + decoder.ToFrames(editDuration));
    } else {
        char* item = nullptr;
        char* value = nullptr;
        const int items = mp4ff_->mp4ff_meta_get_num_items(container_.Get());
        for (int i = 0; i < items && !gapless; ++i) {
            if (!mp4ff_->mp4ff_meta_get_by_index(container_.Get(), unsigned(i), &item, &value))
                continue;
            if (std::string(item) == "iTunSMPB") gapless = ParseGaplessRecord(value);
            mp4ff_->mp4ff_free_decoder_config(item);
            mp4ff_->mp4ff_free_decoder_config(value);
        }
        if (gapless) {
            start = gapless->priming - decoder.Delay();
            end = start + gapless->length;
        }
    }
    skipFrames_ = std::clamp<int64_t>(start, 0, decoded);
    totalFrames_ = std::max<int64_t>(std::min(end, decoded) - skipFrames_, 0);
}

void TMP4In::ReadTags() {
    commonTags_.Clear();
    mp4ff_t* file = container_.Get();
    const auto text = [&](int (*get)(const mp4ff_t*, char**)) {
        char* value = nullptr;
        std::string result;
        if (get(file, &value) && value != nullptr) result = value;
        mp4ff_->mp4ff_free_decoder_config(value);
        return result;
    };
    commonTags_.SetArtist(text(mp4ff_->mp4ff_meta_get_artist));
    commonTags_.SetTitle(text(mp4ff_->mp4ff_meta_get_title));
    commonTags_.SetAlbum(text(mp4ff_->mp4ff_meta_get_album));
    commonTags_.SetYear(text(mp4ff_->mp4ff_meta_get_date));
    commonTags_.SetGenre(text(mp4ff_->mp4ff_meta_get_genre));
    commonTags_.SetTrack(text(mp4ff_->mp4ff_meta_get_track));
    CarryTags();
}

void TMP4In::CarryTags() {
    carried_.Clear();
    // The container reader positions the stream itself before each read; it is left where
    // it was all the same.
    const int64_t position = StreamBridge::Tell(stream_);
    const auto read = [this](uint64_t offset, std::span<uint8_t> dest) -> size_t {
        if (offset > uint64_t(INT64_MAX) ||
            StreamBridge::Seek(stream_, int64_t(offset), SEEK_SET) != int64_t(offset))
            return 0;
        size_t done = 0;
        while (done < dest.size()) {
            const int64_t got = StreamBridge::Read(stream_, dest.data() + done, dest.size() - done);
            if (got <= 0) break;
            done += size_t(got);
        }
        return done;
    };
    tags::CarryMp4File(read, carried_);
    if (position >= 0) StreamBridge::Seek(stream_, position, SEEK_SET);
}

void TMP4In::StartAt(int64_t frame) {
    int64_t drop = 0;
    decoder_->Restart(skipFrames_ + frame, nextSample_, drop);
    dropFrames_ = drop;
    block_ = {};
    readPosition_ = 0;
}

void TMP4In::DecodeNext() {
    Mp4SampleBuffer sample;
    if (!sample.Read(*mp4ff_, container_.Get(), track_, nextSample_))
        throw EAuException("Error reading data.");
    ++nextSample_;
    block_ = decoder_->Decode(sample.Bytes());
    readPosition_ = 0;
    if (dropFrames_ > 0) {
        const size_t frameBytes = size_t(channels_) * (bitsPerSample_ / 8);
        const size_t drop = std::min(size_t(dropFrames_) * frameBytes, block_.size());
        readPosition_ = drop;
        dropFrames_ -= int64_t(drop / frameBytes);
    }
}

void TMP4In::ReadData(const uint8_t*& buffer, uint32_t& bytes) {
    buffer = nullptr;
    if (!container_ || !decoder_) {
        bytes = 0;
        return;
    }
    while (readPosition_ >= block_.size()) {
        if (nextSample_ >= decoder_->SampleCount()) {
            bytes = 0;
            return;
        }
        DecodeNext();
    }
    bytes = uint32_t(std::min<size_t>(bytes, block_.size() - readPosition_));
    buffer = block_.data() + readPosition_;
    readPosition_ += bytes;
}

bool TMP4In::SeekSample(int64_t& sampleNum) {
    if (!decoder_ || totalFrames_ == 0 || !seekable_) return false;
    sampleNum = std::clamp<int64_t>(sampleNum, 0, totalFrames_);
    StartAt(sampleNum);
    return true;
}

void TMP4In::CloseFormat() {
    // The decoder reads through the container, which reads through the stream.
    decoder_.reset();
    container_.Reset();
    block_ = {};
    readPosition_ = 0;
    track_ = -1;
}
