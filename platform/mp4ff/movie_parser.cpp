// Parsing the moov box: tracks (header, media header, handler, sample description, sample
// tables, first edit) and the metadata item list.
#include "platform/mp4ff/byte_reader.h"
#include "platform/mp4ff/movie.h"

#include <cstring>

namespace mp4 {
namespace {

// A descriptor of the elementary stream descriptor box: tag and body, the body cut to the bytes
// that are there.
bool NextDescriptor(ByteReader& reader, uint8_t& tag, std::span<const uint8_t>& body) {
    tag = reader.U8();
    uint32_t length = 0;
    for (int i = 0; i < 4; ++i) {
        const uint8_t byte = reader.U8();
        length = length << 7 | (byte & 0x7F);
        if ((byte & 0x80) == 0) break;
    }
    if (!reader.Ok()) return false;
    body = reader.Bytes(std::min<size_t>(length, reader.Remaining()));
    return true;
}

void ParseDecoderConfigDescriptor(std::span<const uint8_t> body, Track& track) {
    ByteReader reader(body);
    track.objectType = reader.U8();
    reader.Skip(1 + 3); // stream type, buffer size
    track.maxBitrate = reader.U32();
    track.avgBitrate = reader.U32();
    if (!reader.Ok()) return;
    uint8_t tag = 0;
    std::span<const uint8_t> inner;
    while (reader.Remaining() > 0 && NextDescriptor(reader, tag, inner))
        if (tag == 0x05) {
            track.decoderConfig.assign(inner.begin(), inner.end());
            return;
        }
}

void ParseEsds(std::span<const uint8_t> esds, Track& track) {
    ByteReader reader(esds);
    reader.Skip(4); // version, flags
    uint8_t tag = 0;
    std::span<const uint8_t> body;
    if (!NextDescriptor(reader, tag, body)) return;
    if (tag == 0x04) {
        ParseDecoderConfigDescriptor(body, track);
        return;
    }
    if (tag != 0x03) return;
    ByteReader es(body);
    es.Skip(2); // ES_ID
    const uint8_t flags = es.U8();
    if (flags & 0x80) es.Skip(2);       // depends on another stream
    if (flags & 0x40) es.Skip(es.U8()); // URL
    if (flags & 0x20) es.Skip(2);       // OCR stream
    while (es.Ok() && es.Remaining() > 0 && NextDescriptor(es, tag, body))
        if (tag == 0x04) {
            ParseDecoderConfigDescriptor(body, track);
            return;
        }
}

void ParseAlacConfig(std::span<const uint8_t> payload, Track& track) {
    // A full box: version and flags, then the 24-byte ALACSpecificConfig.
    if (payload.size() < 4 + 24) return;
    track.decoderConfig.assign(payload.begin() + 4, payload.begin() + 4 + 24);
    const uint32_t size = uint32_t(8 + payload.size());
    const uint8_t header[8] = {uint8_t(size >> 24),
                               uint8_t(size >> 16),
                               uint8_t(size >> 8),
                               uint8_t(size),
                               'a',
                               'l',
                               'a',
                               'c'};
    track.alacBox.assign(header, header + 8);
    track.alacBox.insert(track.alacBox.end(), payload.begin(), payload.end());
    ByteReader config(track.decoderConfig);
    config.Skip(4 + 1); // frame length, compatible version
    track.sampleBits = config.U8();
    config.Skip(3); // rice parameters
    track.channels = config.U8();
    config.Skip(2 + 4 + 4); // max run, max frame bytes, average bit rate
    track.sampleRate = config.U32();
}

// The configuration boxes after a sample description's fixed fields; QuickTime wraps them in
// a 'wave' box.
void ParseEntryChildren(std::span<const uint8_t> children, Track& track, int depth = 0) {
    BoxWalker walker(children);
    Box box;
    while (walker.Next(box)) {
        if (box.type == FourCc("esds"))
            ParseEsds(box.payload, track);
        else if (box.type == FourCc("alac") && track.entryType == FourCc("alac"))
            ParseAlacConfig(box.payload, track);
        else if (box.type == FourCc("wave") && depth == 0)
            ParseEntryChildren(box.payload, track, depth + 1);
    }
}

void ParseAudioEntry(std::span<const uint8_t> entry, Track& track) {
    ByteReader reader(entry);
    reader.Skip(6 + 2); // reserved, data reference index
    const uint16_t version = reader.U16();
    reader.Skip(2 + 4); // revision, vendor
    track.channels = reader.U16();
    track.sampleBits = reader.U16();
    reader.Skip(2 + 2); // compression id, packet size
    track.sampleRate = reader.U32() >> 16;
    if (version == 1) {
        reader.Skip(16);
    } else if (version == 2) {
        reader.Skip(4);
        uint64_t bits = reader.U64();
        double rate = 0;
        std::memcpy(&rate, &bits, sizeof rate);
        track.channels = reader.U32();
        reader.Skip(4);
        track.sampleBits = reader.U32();
        reader.Skip(12);
        track.sampleRate = rate > 0 && rate < 4.0e9 ? uint32_t(rate) : 0;
    }
    if (!reader.Ok()) return;
    ParseEntryChildren(reader.Rest(), track);
}

void ParseSampleDescriptions(std::span<const uint8_t> stsd, Track& track) {
    ByteReader reader(stsd);
    reader.Skip(4 + 4); // version, flags, entry count
    if (!reader.Ok()) return;
    Box entry;
    BoxWalker walker(reader.Rest());
    if (!walker.Next(entry)) return; // only the first description is used
    track.entryType = entry.type;
    if (track.kind == TrackKind::Unknown) {
        if (entry.type == FourCc("mp4a") || entry.type == FourCc("alac"))
            track.kind = TrackKind::Audio;
        else if (entry.type == FourCc("mp4v"))
            track.kind = TrackKind::Video;
        else if (entry.type == FourCc("mp4s"))
            track.kind = TrackKind::System;
    }
    if (track.kind == TrackKind::Audio) {
        ParseAudioEntry(entry.payload, track);
    } else if (entry.type == FourCc("mp4v")) {
        ByteReader video(entry.payload);
        video.Skip(78); // reserved, data reference index and the fixed visual fields
        if (video.Ok()) ParseEntryChildren(video.Rest(), track);
    }
}

void ParseSampleTables(std::span<const uint8_t> stbl, Track& track) {
    BoxWalker walker(stbl);
    Box box;
    while (walker.Next(box)) {
        switch (box.type) {
        case FourCc("stsd"):
            ParseSampleDescriptions(box.payload, track);
            break;
        case FourCc("stts"):
            track.samples.SetTimes(box.payload);
            break;
        case FourCc("ctts"):
            track.samples.SetCompositionOffsets(box.payload);
            break;
        case FourCc("stsc"):
            track.samples.SetChunks(box.payload);
            break;
        case FourCc("stsz"):
            track.samples.SetSizes(box.payload);
            break;
        case FourCc("stco"):
            track.samples.SetChunkOffsets(box.payload, false);
            break;
        case FourCc("co64"):
            track.samples.SetChunkOffsets(box.payload, true);
            break;
        default:
            break;
        }
    }
}

void ParseMediaHeader(std::span<const uint8_t> mdhd, Track& track) {
    ByteReader reader(mdhd);
    const uint8_t version = reader.U8();
    reader.Skip(3);
    if (version == 1) {
        reader.Skip(16);
        track.timescale = reader.U32();
        track.duration = reader.U64();
    } else {
        reader.Skip(8);
        track.timescale = reader.U32();
        track.duration = reader.U32();
    }
    if (!reader.Ok()) track.timescale = 0, track.duration = 0;
}

TrackKind KindOfHandler(uint32_t handler) {
    switch (handler) {
    case FourCc("soun"):
        return TrackKind::Audio;
    case FourCc("vide"):
        return TrackKind::Video;
    case FourCc("odsm"):
    case FourCc("sdsm"):
    case FourCc("hint"):
        return TrackKind::System;
    default:
        return TrackKind::Unknown;
    }
}

void ParseMedia(std::span<const uint8_t> mdia, Track& track) {
    Box box;
    if (BoxWalker::Find(mdia, FourCc("mdhd"), box)) ParseMediaHeader(box.payload, track);
    if (BoxWalker::Find(mdia, FourCc("hdlr"), box)) {
        ByteReader reader(box.payload);
        reader.Skip(4 + 4); // version, flags, pre-defined
        const uint32_t handler = reader.U32();
        if (reader.Ok()) track.kind = KindOfHandler(handler);
    }
    Box minf, stbl;
    if (BoxWalker::Find(mdia, FourCc("minf"), minf) &&
        BoxWalker::Find(minf.payload, FourCc("stbl"), stbl))
        ParseSampleTables(stbl.payload, track);
}

// The first edit that plays media (an empty edit, media time -1, only delays the track).
void ParseEditList(std::span<const uint8_t> edts, Track& track) {
    Box elst;
    if (!BoxWalker::Find(edts, FourCc("elst"), elst)) return;
    ByteReader reader(elst.payload);
    const uint8_t version = reader.U8();
    reader.Skip(3);
    const uint32_t count = reader.U32();
    for (uint32_t i = 0; i < count && reader.Ok(); ++i) {
        Edit edit;
        if (version == 1) {
            edit.duration = reader.U64();
            edit.mediaStart = int64_t(reader.U64());
        } else {
            edit.duration = reader.U32();
            edit.mediaStart = int32_t(reader.U32());
        }
        reader.Skip(4); // rate
        if (!reader.Ok()) return;
        if (edit.mediaStart >= 0) {
            track.edit = edit;
            return;
        }
    }
}

Track ParseTrack(std::span<const uint8_t> trak) {
    Track track;
    BoxWalker walker(trak);
    Box box;
    while (walker.Next(box)) {
        if (box.type == FourCc("mdia"))
            ParseMedia(box.payload, track);
        else if (box.type == FourCc("edts"))
            ParseEditList(box.payload, track);
    }
    return track;
}

// A meta box is a full box in MP4 files and a plain one in QuickTime files.
std::span<const uint8_t> MetaChildren(std::span<const uint8_t> meta) {
    if (meta.size() >= 8 && std::memcmp(meta.data() + 4, "hdlr", 4) == 0) return meta;
    return meta.size() >= 4 ? meta.subspan(4) : std::span<const uint8_t>{};
}

void ParseMeta(std::span<const uint8_t> meta, Movie& movie) {
    Box ilst;
    if (BoxWalker::Find(MetaChildren(meta), FourCc("ilst"), ilst)) {
        auto items = ParseItemList(ilst.payload);
        movie.items.insert(movie.items.end(), items.begin(), items.end());
    }
}

} // namespace

Movie ParseMovie(std::span<const uint8_t> moov) {
    Movie movie;
    BoxWalker walker(moov);
    Box box;
    while (walker.Next(box)) {
        switch (box.type) {
        case FourCc("mvhd"): {
            ByteReader reader(box.payload);
            const uint8_t version = reader.U8();
            reader.Skip(3 + (version == 1 ? 16 : 8));
            movie.timescale = reader.U32();
            movie.duration = version == 1 ? reader.U64() : reader.U32();
            if (!reader.Ok()) movie.timescale = 0, movie.duration = 0;
            break;
        }
        case FourCc("trak"):
            movie.tracks.push_back(ParseTrack(box.payload));
            break;
        case FourCc("udta"): {
            Box meta;
            if (BoxWalker::Find(box.payload, FourCc("meta"), meta)) ParseMeta(meta.payload, movie);
            break;
        }
        case FourCc("meta"):
            ParseMeta(box.payload, movie);
            break;
        default:
            break;
        }
    }
    return movie;
}

} // namespace mp4
