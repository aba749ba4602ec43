#include "codecs/flac/flac_out.h"

#include "codecs/flac/flac_comment_block.h"
#include "codecs/flac/flac_library.h"
#include "pipeline/au_exception.h"
#include "pipeline/pcm_convert.h"
#include "pipeline/stream_bridge.h"
#include "tags/vorbis/vorbis_comments.h"

#include <algorithm>
#include <cmath>
#include <span>

// The libFLAC callbacks: C code calls them, so nothing may throw out of them.
class TFLACOut::Callbacks {
public:
    static FLAC__StreamEncoderWriteStatus Write(const FLAC__StreamEncoder*,
                                                const FLAC__byte buffer[], size_t bytes,
                                                uint32_t samples, uint32_t, void* client) {
        auto& self = *static_cast<TFLACOut*>(client);
        const bool written = CallbackGuard(false, [&] {
            // Metadata blocks arrive one per write, with no samples; the first byte of each is
            // its block header.
            if (self.seekTableOffset_ < 0 && samples == 0 && bytes > 0 &&
                (buffer[0] & 0x7F) == FLAC__METADATA_TYPE_SEEKTABLE)
                self.seekTableOffset_ = StreamBridge::Tell(self.stream_);
            if (!self.commentBlockReplaced_ && samples == 0 && bytes > 0 &&
                (buffer[0] & 0x7F) == FLAC__METADATA_TYPE_VORBIS_COMMENT) {
                self.commentBlockReplaced_ = true;
                return self.stream_->WriteAll(
                    FlacTagMetadataBlocks(self.tags_, self.carried_, (buffer[0] & 0x80) != 0));
            }
            return self.stream_->WriteAll(std::span<const uint8_t>(buffer, bytes));
        });
        if (written) return FLAC__STREAM_ENCODER_WRITE_STATUS_OK;
        self.writeFailed_ = true;
        return FLAC__STREAM_ENCODER_WRITE_STATUS_FATAL_ERROR;
    }

    static FLAC__StreamEncoderSeekStatus Seek(const FLAC__StreamEncoder*, FLAC__uint64 offset,
                                              void* client) {
        TStream* stream = static_cast<TFLACOut*>(client)->stream_;
        return StreamBridge::Seek(stream, int64_t(offset), SEEK_SET) == int64_t(offset)
                   ? FLAC__STREAM_ENCODER_SEEK_STATUS_OK
                   : FLAC__STREAM_ENCODER_SEEK_STATUS_ERROR;
    }

    static FLAC__StreamEncoderTellStatus Tell(const FLAC__StreamEncoder*, FLAC__uint64* offset,
                                              void* client) {
        const int64_t position = StreamBridge::Tell(static_cast<TFLACOut*>(client)->stream_);
        if (position < 0) return FLAC__STREAM_ENCODER_TELL_STATUS_ERROR;
        *offset = FLAC__uint64(position);
        return FLAC__STREAM_ENCODER_TELL_STATUS_OK;
    }

    static void Metadata(const FLAC__StreamEncoder*, const FLAC__StreamMetadata*, void*) {}
};

TFLACOut::~TFLACOut() {
    Shutdown();
    Release();
}

void TFLACOut::SetBestModelSearch(bool search) {
    bestModelSearch_ = search;
    if (search) {
        midSide_ = true;
        looseMidSide_ = false;
    }
}

void TFLACOut::SetEnableLooseMidSideStereo(bool enable) {
    looseMidSide_ = enable;
    if (enable) midSide_ = true;
}

void TFLACOut::SetCommonTags(const TCommonTags& common) {
    tags::CommonToVorbis(common, tags_);
}

void TFLACOut::PrepareOutput() {
    flac_ = &FlacLibrary().Require();
    const FlacApi& flac = *flac_;
    if (!streamAssigned_ && fileName_.empty()) throw EAuException("File name is not assigned.");
    OpenOutputStream();
    endOfInput_ = false;
    commentBlockReplaced_ = false;
    writeFailed_ = false;
    encoder_ = {flac.FLAC__stream_encoder_new(), flac.FLAC__stream_encoder_delete};
    if (encoder_.Get() == nullptr) throw EAuException("Failed to initialize FLAC encoder.");

    TAuInput& input = *Input();
    input.Init();
    inputInitialised_ = true;
    channels_ = input.GetChannels();
    bits_ = input.GetBitsPerSample();
    encodedBits_ = EncodedBits(input, bits_);
    const int rate = input.GetSampleRate();
    flac.FLAC__stream_encoder_set_verify(encoder_.Get(), verify_);
    flac.FLAC__stream_encoder_set_channels(encoder_.Get(), uint32_t(channels_));
    flac.FLAC__stream_encoder_set_bits_per_sample(encoder_.Get(), uint32_t(encodedBits_));
    flac.FLAC__stream_encoder_set_sample_rate(encoder_.Get(), uint32_t(rate));
    // The streamable subset stops at 24 bits and 655350 Hz; 32-bit integers and the rates of
    // DSD128 and above (as PCM) are written losslessly outside it.
    if (encodedBits_ > 24 || rate > 655350)
        flac.FLAC__stream_encoder_set_streamable_subset(encoder_.Get(), false);
    if (channels_ == 2) {
        flac.FLAC__stream_encoder_set_do_mid_side_stereo(encoder_.Get(), midSide_);
        flac.FLAC__stream_encoder_set_loose_mid_side_stereo(encoder_.Get(), looseMidSide_);
    }
    flac.FLAC__stream_encoder_set_blocksize(encoder_.Get(), blockSize_);
    if (compressionLevel_ >= 0) {
        flac.FLAC__stream_encoder_set_compression_level(encoder_.Get(),
                                                        uint32_t(compressionLevel_));
    } else {
        flac.FLAC__stream_encoder_set_max_lpc_order(encoder_.Get(), maxLpcOrder_);
        // A precision too wide for the sample width is narrowed; none left means automatic.
        if (qlpPrecision_ > 0 && encodedBits_ + qlpPrecision_ > 31)
            qlpPrecision_ = encodedBits_ < 31 ? uint16_t(31 - encodedBits_) : 0;
        flac.FLAC__stream_encoder_set_qlp_coeff_precision(encoder_.Get(), qlpPrecision_);
        flac.FLAC__stream_encoder_set_do_qlp_coeff_prec_search(encoder_.Get(), qlpSearch_);
        flac.FLAC__stream_encoder_set_min_residual_partition_order(encoder_.Get(),
                                                                   minPartitionOrder_);
        flac.FLAC__stream_encoder_set_max_residual_partition_order(encoder_.Get(),
                                                                   maxPartitionOrder_);
        flac.FLAC__stream_encoder_set_do_exhaustive_model_search(encoder_.Get(), bestModelSearch_);
    }
    SetMetadata(input, rate);
    if (flac.FLAC__stream_encoder_init_stream(encoder_.Get(), &Callbacks::Write, &Callbacks::Seek,
                                              &Callbacks::Tell, &Callbacks::Metadata,
                                              this) != FLAC__STREAM_ENCODER_INIT_STATUS_OK) {
        input.Flush();
        inputInitialised_ = false;
        seekTableOffset_ = -1; // nothing of the table is worth finishing
        throw EAuException("Failed to initialize FLAC encoder.");
    }
    const size_t frames = blockSize_ > 0 ? blockSize_ : 4096;
    pullBuffer_.resize(Pcm::BytesPerSample(bits_) * frames * size_t(channels_));
    samples_.resize(frames * size_t(channels_));
}

int TFLACOut::EncodedBits(const TAuInput& input, int bits) {
    // 32-bit FLAC lies outside the subset and many decoders refuse it; floats hold 24 bits of
    // precision anyway.
    return input.FloatSamples() && bits > 24 ? 24 : bits;
}

void TFLACOut::SetMetadata(TAuInput& input, int rate) {
    uint64_t frames = 0;
    if (input.Size() > 0 && bits_ >= 8 && channels_ > 0) {
        frames = uint64_t(std::nearbyint(double(input.Size()) / (bits_ / 8) / channels_));
        flac_->FLAC__stream_encoder_set_total_samples_estimate(encoder_.Get(), frames);
    }
    // libFLAC fills the seek points in only when it can go back to the table at the end.
    const int64_t here = StreamBridge::Tell(stream_);
    const bool rewritable = here >= 0 && StreamBridge::Seek(stream_, here, SEEK_SET) == here;
    seekTableOffset_ = -1;
    metadata_.emplace(*flac_, rewritable ? frames : 0, uint32_t(std::max(rate, 0)));
    const auto blocks = metadata_->Blocks();
    flac_->FLAC__stream_encoder_set_metadata(encoder_.Get(), blocks.data(),
                                             uint32_t(blocks.size()));
}

// Points libFLAC left unfilled (the input ended before them) are written as placeholders.
bool TFLACOut::RewriteSeekTable() {
    if (!metadata_ || seekTableOffset_ < 0) return true;
    const auto body = metadata_->CorrectedSeekPoints();
    if (!body) return true;
    const int64_t at = seekTableOffset_ + FLAC__STREAM_METADATA_HEADER_LENGTH;
    return StreamBridge::Seek(stream_, at, SEEK_SET) == at &&
           StreamBridge::Write(stream_, body->data(), body->size()) == int64_t(body->size());
}

bool TFLACOut::OutputBlock(bool abort) {
    if (!outputActive_) return true;
    if (abort || endOfInput_) return false;
    const size_t frameBytes = Pcm::BytesPerSample(bits_) * size_t(channels_);
    bool endReached = false;
    const size_t frames = PullFrames(pullBuffer_, frameBytes, endReached);
    endOfInput_ = endReached;
    if (frames == 0) return false;
    const size_t count = frames * size_t(channels_);
    const auto pcm = std::span<const uint8_t>(pullBuffer_).first(frames * frameBytes);
    if (encodedBits_ < bits_)
        Pcm::ToInt32Narrowed(pcm, bits_, encodedBits_, std::span(samples_).first(count));
    else
        Pcm::ToInt32(pcm, bits_, std::span(samples_).first(count));
    if (!flac_->FLAC__stream_encoder_process_interleaved(encoder_.Get(), samples_.data(),
                                                         uint32_t(frames)))
        throw EAuException("Failed to encode data.");
    return true;
}

void TFLACOut::FinishOutput() {
    // Finishing flushes the last frames and rewrites STREAMINFO (length, MD5); a failure there
    // leaves a broken file and must not pass for success.
    // An encoder that never got initialised finishes as a no-op.
    bool finished = !encoder_ || flac_->FLAC__stream_encoder_finish(encoder_.Get());
    if (finished && encoder_) finished = CallbackGuard(false, [&] { return RewriteSeekTable(); });
    Release();
    CloseOutputStream();
    if (TAuInput* input = Input()) input->Flush();
    inputInitialised_ = false;
    if (!finished) throw EAuException("Failed to encode data.");
}

void TFLACOut::Release() {
    encoder_.Reset();
    metadata_.reset();
    pullBuffer_ = {};
    samples_ = {};
}
