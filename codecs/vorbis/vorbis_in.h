// TVorbisIn: decodes Ogg Vorbis files to 16-bit PCM through libvorbisfile, in WAV channel order,
// and fills its Vorbis comments and common tags from the stream's comment header. A chained file
// is decoded link by link, each link on its own, so links that share a serial number (outputs of
// one program joined by a user) decode as well as links that do not.
#pragma once

#include "pipeline/au_tagged_file.h"
#include "tags/vorbis/vorbis_tags.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class TVorbisIn : public TAuTaggedFileIn {
public:
    TVorbisIn();
    ~TVorbisIn() override;

    // The comments read from the file (artist, album, title, date, genre, tracknumber; the last
    // of each name wins).
    const TVorbisTags& VorbisTags() const { return vorbisTags_; }
    // Bit rates announced by the stream, in bits per second (0 or -1 when not given).
    long BitrateUpper() const { return bitrateUpper_; }
    long BitrateNominal() const { return bitrateNominal_; }
    long BitrateLower() const { return bitrateLower_; }

protected:
    void RequireLibrary() override;
    void OpenFormat(TStream& stream) override;
    void CloseFormat() override;
    std::string_view StreamFailure() const override { return "Failed to open stream"; }
    void InitReading() override;
    void ReadData(const uint8_t*& buffer, uint32_t& bytes) override;
    bool SeekSample(int64_t& sampleNum) override;

private:
    struct Decoder;
    struct Callbacks;
    // A link of the chain: its bytes (end -1: to the end of an unscanned stream), its format,
    // its frames and where they start in the delivered audio, counted in the first link's rate.
    struct Link {
        int64_t begin = 0;
        int64_t end = -1;
        int channels = 0;
        long rate = 0;
        int64_t frames = 0;
        int64_t firstFrame = 0;
        // Why a later link cannot be opened (not Vorbis, damaged headers); it ends the chain.
        std::string failure;
    };
    // The links of the stream, from its pages when it can be read twice.
    void FindLinks();
    // A decoder over link's bytes; throws the library's open failure.
    std::unique_ptr<Decoder> OpenLink(const Link& link);
    // Moves decoding to the link (a no-op when it is the current one).
    void SwitchToLink(size_t index);
    bool SameFormat(const Link& link) const;
    // Decodes into the empty buffer, up to its size in whole frames.
    void FillBuffer();
    // At the end of the current link: moves on to the next one, or ends the audio.
    void EndOfLink();

    TVorbisTags vorbisTags_;
    std::unique_ptr<Decoder> decoder_;
    // 12288 bytes of decoded PCM, kept as 16-bit units so frames can be reordered in place.
    std::vector<int16_t> buffer_;
    std::vector<Link> links_;
    size_t link_ = 0;
    // The library's own link within the current one (another serial number without a
    // beginning-of-stream page between), -1 before the first read.
    int currentLink_ = -1;
    bool decoderEnded_ = false;
    bool scanned_ = false;
    bool endsInsidePage_ = false;
    bool pageDamaged_ = false;
    // Why the audio cannot go on (a link of another format, or one that cannot be read); thrown
    // once the audio before it is out.
    std::string stopMessage_;
    long bitrateUpper_ = 0;
    long bitrateNominal_ = 0;
    long bitrateLower_ = 0;
};
