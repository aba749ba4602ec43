#include "app/converter/output_verification.h"

#include "app/converter/component_tables.h"
#include "pipeline/au_file_in.h"

#include <algorithm>
#include <exception>
#include <memory>

namespace {

// Our reader of a target's files: the source format of its extension.
qm::TSourceId ReaderOf(qm::TTargetId target) {
    const qm::TTargetFormat* format = qm::FindTarget(target);
    return format ? qm::SourceIdOfExtension(format->Extension) : qm::TSourceId::None;
}

bool Lossless(qm::TTargetId target) {
    return target == qm::TTargetId::Flac || target == qm::TTargetId::Ape ||
           target == qm::TTargetId::Wav || target == qm::TTargetId::WavPack;
}

std::string Seconds(int64_t frames, int rate) {
    const int64_t tenths = rate > 0 ? (frames * 10 + rate / 2) / rate : 0;
    return std::to_string(tenths / 10) + "." + std::to_string(tenths % 10) + " s";
}

} // namespace

int VerifyShare(qm::TTargetId target) {
    // From bench/verify.sh: a symmetric codec decodes about as long as it encoded, a WAV is
    // read back and hashed twice, a lossy decode is a fraction of its encode.
    switch (target) {
    case qm::TTargetId::Wav:
        return 60;
    case qm::TTargetId::Flac:
    case qm::TTargetId::WavPack:
    case qm::TTargetId::Ape:
        return 50;
    case qm::TTargetId::Ogg:
        return 20;
    case qm::TTargetId::Mp3:
        return 15;
    default:
        return 10;
    }
}

std::string VerifyOutput(const std::string& path, qm::TTargetId target, const TVerifiedPcm& fed,
                         const TVerifyProgress& progress) {
    const TSourceRow* row = FindSourceRow(ReaderOf(target));
    if (row == nullptr) return "no reader for its format";
    TVerifiedPcm decoded;
    bool damaged = false, checksum = false;
    try {
        const std::unique_ptr<TAuFileIn> reader = row->create();
        reader->SetFileName(path);
        if (!reader->FileValid()) return "it cannot be read back";
        decoded.channels = reader->GetChannels();
        decoded.bits = reader->GetBitsPerSample();
        decoded.rate = reader->GetSampleRate();
        reader->Init();
        // The length fed, in the output's bytes: what reading back is measured against.
        const int frameBytes = decoded.channels * (decoded.bits / 8);
        const int fedFrameBytes = fed.channels * (fed.bits / 8);
        const double expected =
            fedFrameBytes > 0 && fed.rate > 0
                ? double(fed.digest.Bytes()) / fedFrameBytes * decoded.rate / fed.rate * frameBytes
                : 0;
        for (;;) {
            const uint8_t* buffer = nullptr;
            uint32_t bytes = 1 << 16;
            reader->GetData(buffer, bytes);
            if (bytes == 0 || buffer == nullptr) break;
            decoded.digest.Add({buffer, bytes});
            if (progress && expected > 0)
                progress(std::min(double(decoded.digest.Bytes()) / expected, 1.0));
        }
        auto* streamed = dynamic_cast<TAuStreamedInput*>(reader.get());
        if (streamed) damaged = streamed->Damaged() || streamed->Corrupt();
        // A stored sum is compared once the decoder is finished.
        reader->Flush();
        if (streamed) checksum = streamed->ChecksumMismatch();
    } catch (const std::exception& e) {
        return e.what();
    }
    if (damaged) return "it does not decode to its end";
    // The MD5 a FLAC, WavPack or Monkey's Audio output stores over its audio.
    if (checksum) return "its stored checksum does not match its audio";
    const int fedFrameBytes = fed.channels * (fed.bits / 8);
    const int decodedFrameBytes = decoded.channels * (decoded.bits / 8);
    if (fedFrameBytes <= 0 || decodedFrameBytes <= 0 || decoded.rate <= 0 || fed.rate <= 0)
        return "it holds no audio format";
    const int64_t fedFrames = fed.digest.Bytes() / fedFrameBytes;
    const int64_t frames = decoded.digest.Bytes() / decodedFrameBytes;
    const bool sameFormat =
        decoded.channels == fed.channels && decoded.bits == fed.bits && decoded.rate == fed.rate;
    if (Lossless(target) && sameFormat)
        return decoded.digest == fed.digest ? std::string()
                                            : "its audio is not the audio that was written";
    // Lossy, or stored in another format: the length, in time. Codecs that state their delay
    // give it back to the sample; Windows Media gives at least all of it.
    const __int128 fedTime = __int128(fedFrames) * decoded.rate;
    const __int128 time = __int128(frames) * fed.rate;
    const __int128 oneFrame = std::max(decoded.rate, fed.rate);
    const bool atLeast = time + 2 * oneFrame >= fedTime;
    const bool exact = target == qm::TTargetId::Wma || time <= fedTime + 2 * oneFrame;
    if (atLeast && exact) return {};
    return "it decodes to " + Seconds(frames, decoded.rate) + " of " + Seconds(fedFrames, fed.rate);
}
