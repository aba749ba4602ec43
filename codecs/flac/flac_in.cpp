#include "codecs/flac/flac_in.h"

#include "codecs/flac/flac_library.h"
#include "pipeline/au_exception.h"
#include "pipeline/pcm_convert.h"
#include "pipeline/stream_bridge.h"
#include "tags/carried/vorbis_carried.h"
#include "tags/vorbis/vorbis_comments.h"

#include <algorithm>
#include <span>
#include <string>

namespace {

// The pipeline carries whole bytes per sample: 12-bit streams travel as 16 bits and so on.
uint32_t DeliveredBits(uint32_t streamBits) {
    return std::max<uint32_t>(8, (streamBits + 7) / 8 * 8);
}

} // namespace

// The libFLAC callbacks: C code calls them, so nothing may throw out of them.
class TFLACIn::Callbacks {
public:
    static FLAC__StreamDecoderReadStatus Read(const FLAC__StreamDecoder*, FLAC__byte buffer[],
                                              size_t* bytes, void* client) {
        const int64_t got =
            StreamBridge::Read(static_cast<TFLACIn*>(client)->stream_, buffer, *bytes);
        *bytes = got > 0 ? size_t(got) : 0;
        return got < 0    ? FLAC__STREAM_DECODER_READ_STATUS_ABORT
               : got == 0 ? FLAC__STREAM_DECODER_READ_STATUS_END_OF_STREAM
                          : FLAC__STREAM_DECODER_READ_STATUS_CONTINUE;
    }

    static FLAC__StreamDecoderSeekStatus Seek(const FLAC__StreamDecoder*, FLAC__uint64 offset,
                                              void* client) {
        auto& self = *static_cast<TFLACIn*>(client);
        if (!self.seekable_) return FLAC__STREAM_DECODER_SEEK_STATUS_UNSUPPORTED;
        const int64_t size = StreamBridge::Length(self.stream_);
        if (size < 0 || offset > FLAC__uint64(size)) return FLAC__STREAM_DECODER_SEEK_STATUS_ERROR;
        return StreamBridge::Seek(self.stream_, int64_t(offset), SEEK_SET) == int64_t(offset)
                   ? FLAC__STREAM_DECODER_SEEK_STATUS_OK
                   : FLAC__STREAM_DECODER_SEEK_STATUS_ERROR;
    }

    static FLAC__StreamDecoderTellStatus Tell(const FLAC__StreamDecoder*, FLAC__uint64* offset,
                                              void* client) {
        const int64_t position = StreamBridge::Tell(static_cast<TFLACIn*>(client)->stream_);
        if (position < 0) return FLAC__STREAM_DECODER_TELL_STATUS_ERROR;
        *offset = FLAC__uint64(position);
        return FLAC__STREAM_DECODER_TELL_STATUS_OK;
    }

    static FLAC__StreamDecoderLengthStatus Length(const FLAC__StreamDecoder*, FLAC__uint64* length,
                                                  void* client) {
        const int64_t size = StreamBridge::Length(static_cast<TFLACIn*>(client)->stream_);
        if (size < 0) return FLAC__STREAM_DECODER_LENGTH_STATUS_ERROR;
        *length = FLAC__uint64(size);
        return FLAC__STREAM_DECODER_LENGTH_STATUS_OK;
    }

    static FLAC__bool Eof(const FLAC__StreamDecoder*, void* client) {
        return StreamBridge::AtEnd(static_cast<TFLACIn*>(client)->stream_);
    }

    static FLAC__StreamDecoderWriteStatus Write(const FLAC__StreamDecoder*,
                                                const FLAC__Frame* frame,
                                                const FLAC__int32* const buffer[], void* client) {
        auto& self = *static_cast<TFLACIn*>(client);
        const FLAC__FrameHeader& header = frame->header;
        // A frame must match what STREAMINFO announced, or the bytes would not line up with
        // the format already reported downstream.
        if (!self.streamInfoSeen_ || header.channels != self.channels_ ||
            header.bits_per_sample != self.streamBits_ || header.blocksize == 0) {
            self.formatBroken_ = true;
            return FLAC__STREAM_DECODER_WRITE_STATUS_ABORT;
        }
        try {
            const uint32_t channels = header.channels;
            const uint32_t frames = header.blocksize;
            const uint32_t bits = self.bitsPerSample_;
            const int32_t scale = int32_t(1) << (bits - self.streamBits_);
            self.interleaved_.resize(size_t(frames) * channels);
            int32_t* out = self.interleaved_.data();
            for (uint32_t i = 0; i < frames; ++i)
                for (uint32_t c = 0; c < channels; ++c)
                    *out++ = buffer[c][i] * scale;
            self.blockBytes_ = uint32_t(Pcm::BytesPerSample(int(bits)) * frames * channels);
            if (self.decodeBuffer_.size() < self.blockBytes_)
                self.decodeBuffer_.resize(self.blockBytes_);
            Pcm::FromInt32(self.interleaved_, int(bits), self.decodeBuffer_);
        } catch (...) {
            return FLAC__STREAM_DECODER_WRITE_STATUS_ABORT;
        }
        self.blockFrames_ = header.blocksize;
        self.blockFirstFrame_ = header.number_type == FLAC__FRAME_NUMBER_TYPE_SAMPLE_NUMBER
                                    ? header.number.sample_number
                                    : uint64_t(header.number.frame_number) * header.blocksize;
        if (self.seekTarget_ >= 0) {
            const int64_t skip = self.seekTarget_ - int64_t(self.blockFirstFrame_);
            self.pendingSkip_ = std::clamp<int64_t>(skip, 0, header.blocksize);
            self.seekTarget_ = -1;
        }
        self.newBlock_ = true;
        ++self.blocksDecoded_;
        return FLAC__STREAM_DECODER_WRITE_STATUS_CONTINUE;
    }

    static void Metadata(const FLAC__StreamDecoder*, const FLAC__StreamMetadata* metadata,
                         void* client) {
        auto& self = *static_cast<TFLACIn*>(client);
        if (self.endOfMetadata_) return;
        try {
            if (metadata->type == FLAC__METADATA_TYPE_STREAMINFO && !self.streamInfoSeen_)
                self.TakeStreamInfo(metadata->data.stream_info);
            else if (metadata->type == FLAC__METADATA_TYPE_VORBIS_COMMENT)
                self.TakeComments(metadata->data.vorbis_comment);
            else if (metadata->type == FLAC__METADATA_TYPE_PICTURE)
                self.TakePicture(metadata->data.picture);
        } catch (...) {
        }
        self.endOfMetadata_ = metadata->is_last;
    }

    static void Error(const FLAC__StreamDecoder*, FLAC__StreamDecoderErrorStatus, void* client) {
        auto& self = *static_cast<TFLACIn*>(client);
        // Damage in the header makes the file unusable; damage in the audio is resynchronised
        // over (a frame with a bad CRC comes out silent), but the copy is then not faithful.
        if (!self.endOfMetadata_) self.fileValid_ = false;
        // A frame cut off by the end of the file is a truncation, judged when the stream ends.
        if (self.endOfMetadata_ && StreamBridge::AtEnd(self.stream_))
            self.errorAtEnd_ = true;
        else
            self.corrupt_ = true;
    }
};

TFLACIn::~TFLACIn() {
    CloseSource();
}

void TFLACIn::TakeStreamInfo(const FLAC__StreamMetadata_StreamInfo& info) {
    if (info.channels == 0 || info.channels > 8 || info.bits_per_sample < 4 ||
        info.bits_per_sample > 32 || info.sample_rate == 0) {
        fileValid_ = false;
        return;
    }
    streamInfoSeen_ = true;
    streamBits_ = info.bits_per_sample;
    bitsPerSample_ = DeliveredBits(info.bits_per_sample);
    sampleRate_ = info.sample_rate;
    channels_ = info.channels;
    streamFrames_ = int64_t(info.total_samples);
    totalSamples_ = streamFrames_;
    size_ = int64_t(info.total_samples) * (bitsPerSample_ / 8) * info.channels;
}

void TFLACIn::TakeComments(const FLAC__StreamMetadata_VorbisComment& block) {
    std::vector<std::string> comments;
    comments.reserve(block.num_comments);
    for (uint32_t i = 0; i < block.num_comments; ++i) {
        const FLAC__StreamMetadata_VorbisComment_Entry& entry = block.comments[i];
        if (entry.entry != nullptr)
            comments.emplace_back(reinterpret_cast<const char*>(entry.entry), entry.length);
    }
    tags::ReadFlacComments(comments, vorbisTags_);
    tags::CarryVorbisComments(comments, carried_);
}

void TFLACIn::TakePicture(const FLAC__StreamMetadata_Picture& block) {
    tags::TPicture picture;
    picture.Type = uint32_t(block.type);
    if (block.mime_type != nullptr) picture.Mime = block.mime_type;
    if (block.description != nullptr)
        picture.Description = reinterpret_cast<const char*>(block.description);
    picture.Width = block.width;
    picture.Height = block.height;
    picture.Depth = block.depth;
    picture.Colours = block.colors;
    if (block.data != nullptr) picture.Data.assign(block.data, block.data + block.data_length);
    carried_.AddPicture(std::move(picture));
}

void TFLACIn::RequireLibrary() {
    flac_ = &FlacLibrary().Require();
}

void TFLACIn::OpenFormat(TStream&) {
    // The decoder reads the stream through the callbacks.
    OpenDecoder();
    if (!fileValid_) return;
    // Filled once per opening: refilling on every format query would rewrite the tags under a
    // reader on another thread while the worker decodes.
    commonTags_.Clear();
    tags::VorbisToCommon(vorbisTags_, commonTags_);
}

void TFLACIn::OpenDecoder() {
    const FlacApi& flac = *flac_;
    pendingSkip_ = 0;
    seekTarget_ = -1;
    atEnd_ = false;
    heldBlock_ = false;
    formatBroken_ = false;
    errorAtEnd_ = false;
    blocksDecoded_ = 0;
    streamInfoSeen_ = false;
    endOfMetadata_ = false;
    streamBits_ = 0;
    streamFrames_ = 0;
    size_ = 0;
    // Frames carry their own numbers and the stream its own end: a STREAMINFO total that is
    // too small must not cut the audio short (FFmpeg and flac decode past it too).
    decoderFindsEnd_ = true;
    fileValid_ = true;
    decoder_ = {flac.FLAC__stream_decoder_new(), flac.FLAC__stream_decoder_delete};
    if (decoder_.Get() == nullptr) throw EAuException("Failed to initialize the FLAC decoder.");
    // The decoder sums the audio it decodes from the start against the MD5 signature of
    // STREAMINFO; it leaves out a stream whose signature is all zero, and stops at a seek.
    decodedToEnd_ = false;
    if (!flac.FLAC__stream_decoder_set_md5_checking(decoder_.Get(), true))
        throw EAuException("Internal error 113, please report to Orbelle developers");
    flac.FLAC__stream_decoder_set_metadata_respond_all(decoder_.Get());
    if (flac.FLAC__stream_decoder_init_stream(
            decoder_.Get(), &Callbacks::Read, &Callbacks::Seek, &Callbacks::Tell,
            &Callbacks::Length, &Callbacks::Eof, &Callbacks::Write, &Callbacks::Metadata,
            &Callbacks::Error, this) != FLAC__STREAM_DECODER_INIT_STATUS_OK)
        throw EAuException("Failed to set up the FLAC decoder.");
    vorbisTags_.Clear();
    carried_.Clear();
    while (!endOfMetadata_ && fileValid_) {
        if (!flac.FLAC__stream_decoder_process_single(decoder_.Get())) {
            fileValid_ = false;
            break;
        }
        // Past the metadata without its last block (frames without a header, or the end):
        // not a stream this source can describe.
        if (flac.FLAC__stream_decoder_get_state(decoder_.Get()) >
            FLAC__STREAM_DECODER_READ_METADATA)
            break;
    }
    if (!streamInfoSeen_ || !endOfMetadata_) fileValid_ = false;
    decodeBuffer_ = {};
    bufStart_ = 1;
    bufEnd_ = 0;
}

void TFLACIn::CloseFormat() {
    if (decoder_) {
        // Finishing compares the MD5 signature of a stream decoded to its end. A file cut short
        // or damaged cannot match it, and is reported as such already. With the check asked
        // for, a mismatch also marks the audio as not what was encoded.
        const bool whole = endOfStream_ && !atEnd_ && !damaged_;
        const bool matches = flac_->FLAC__stream_decoder_finish(decoder_.Get());
        if (whole && decodedToEnd_ && !corrupt_) StoredChecksumChecked(matches);
        if (whole && checkMd5_ && !matches) corrupt_ = true;
        decoder_.Reset();
    }
    decodeBuffer_ = {};
    interleaved_ = {};
}

void TFLACIn::InitReading() {
    try {
        TAuTaggedFileIn::InitReading();
    } catch (...) {
        // A file that cannot be opened leaves the source idle, not busy.
        FlushReading();
        throw;
    }
    // Delivering nothing from a file that is not FLAC would pass for a successful, empty
    // conversion.
    if (!fileValid_) {
        FlushReading();
        throw EAuException("The file is not a valid FLAC file");
    }
}

bool TFLACIn::DecodeNextBlock() {
    if (atEnd_) return false;
    for (;;) {
        newBlock_ = false;
        const bool processed = flac_->FLAC__stream_decoder_process_single(decoder_.Get());
        const FLAC__StreamDecoderState state =
            flac_->FLAC__stream_decoder_get_state(decoder_.Get());
        if (newBlock_) return true;
        if (state == FLAC__STREAM_DECODER_END_OF_STREAM) {
            decodedToEnd_ = blocksDecoded_ > 0;
            // An error at the end with all the stated audio delivered was no truncation.
            if (errorAtEnd_ &&
                (streamFrames_ == 0 || int64_t(blockFirstFrame_ + blockFrames_) >= streamFrames_))
                corrupt_ = true;
            // Announced audio of which not one frame could be found is a broken file, not an
            // empty one.
            if (blocksDecoded_ == 0 && streamFrames_ > 0)
                throw EAuException("Sinc lost or corrupt data");
            return false;
        }
        if (!processed || state > FLAC__STREAM_DECODER_END_OF_STREAM) {
            if (blocksDecoded_ == 0 && !formatBroken_ && stream_->Position() < stream_->Size())
                throw EAuException("Sinc lost or corrupt data");
            throw EAuException("Error reading FLAC file");
        }
        // A metadata block re-read after a decoder reset: go on to the audio.
    }
}

void TFLACIn::ReadData(const uint8_t*& buffer, uint32_t& bytes) {
    if (!busy_) throw EAuException("The Stream is not opened");
    buffer = nullptr;
    const uint32_t frameBytes = channels_ * (bitsPerSample_ / 8);
    if (!decoder_ || frameBytes == 0) {
        bytes = 0;
        return;
    }
    for (;;) {
        if (bufStart_ >= bufEnd_) {
            bufStart_ = 0;
            bufEnd_ = 0;
            if (heldBlock_) {
                heldBlock_ = false;
            } else if (!DecodeNextBlock()) {
                bytes = 0;
                return;
            }
            bufEnd_ = blockBytes_;
        }
        if (pendingSkip_ > 0) {
            const uint64_t skip =
                std::min<uint64_t>(uint64_t(pendingSkip_) * frameBytes, bufEnd_ - bufStart_);
            bufStart_ += uint32_t(skip);
            pendingSkip_ -= int64_t(skip / frameBytes);
            if (bufStart_ >= bufEnd_) continue;
        }
        break;
    }
    const uint32_t wanted = bytes - bytes % frameBytes;
    bytes = std::min(wanted, bufEnd_ - bufStart_);
    buffer = decodeBuffer_.data() + bufStart_;
    bufStart_ += bytes;
}

bool TFLACIn::SeekSample(int64_t& sampleNum) {
    checkMd5_ = false;
    decodedToEnd_ = false;
    OpenSource();
    if (!decoder_ || !fileValid_) return false;
    sampleNum = std::max<int64_t>(sampleNum, 0);
    pendingSkip_ = 0;
    heldBlock_ = false;
    bufStart_ = 0;
    bufEnd_ = 0;
    // There is audio after the new position even when the old one was the end.
    endOfStream_ = false;
    atEnd_ = streamFrames_ > 0 && sampleNum >= streamFrames_;
    if (atEnd_) return true;
    seekTarget_ = sampleNum;
    newBlock_ = false;
    if (!flac_->FLAC__stream_decoder_seek_absolute(decoder_.Get(), FLAC__uint64(sampleNum))) {
        // The decoder must be reset after a failed seek; it starts again from the beginning.
        seekTarget_ = -1;
        flac_->FLAC__stream_decoder_reset(decoder_.Get());
        sampleNum = 0;
        return false;
    }
    // libFLAC hands over the block holding the target during the seek, trimmed to start at it
    // (a library handing over the whole frame leaves the rest to the pending skip). It is held
    // apart from the read cursor, which Init marks empty after positioning at a start frame.
    heldBlock_ = newBlock_;
    return true;
}
