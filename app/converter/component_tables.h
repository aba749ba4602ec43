// The driver's two tables: which source class reads a source descriptor, and which sink class
// writes a target descriptor, with how a slider level and the tags reach that sink. Each codec
// makes its rows in its own bindings_<codec>.cpp (codec headers never meet) from the catalogue's
// ids, and lists them once in component_tables.cpp.
#pragma once

#include "app/catalogue/format_catalogue.h"
#include "pipeline/au_file_in.h"
#include "pipeline/au_file_out.h"
#include "tags/common_tags.h"

#include <memory>
#include <string>
#include <string_view>
#include <vector>

struct TSourceRow {
    qm::TSourceId format;
    std::unique_ptr<TAuFileIn> (*create)();
    // The file that belongs to a source and goes with it when it is removed (a hybrid WavPack
    // file's correction file), or nullptr.
    std::string (*companion)(const std::string& sourcePath) = nullptr;
};

struct TSinkRow {
    qm::TTargetId target;
    std::unique_ptr<TAuFileOut> (*create)();
    // Sets the level of a sink this row made from a slider position.
    void (*applyLevel)(TAuFileOut& sink, int level);
    // Clears the sink's own tag objects, then fills them from tags (nullptr: copy none).
    void (*applyTags)(TAuFileOut& sink, const TCommonTags* tags);
};

struct TCodecRows {
    std::vector<TSourceRow> sources;
    std::vector<TSinkRow> sinks;
};

// The row of the source class that reads files with a catalogue extension.
template <class Source> TSourceRow SourceRow(std::string_view extension) {
    return {qm::SourceIdOfExtension(extension),
            []() -> std::unique_ptr<TAuFileIn> { return std::make_unique<Source>(); }};
}

// The common fields (title, artist, album, genre, year, track) into a sink's tag object,
// cleared first; nothing more without tags.
template <class Tags> void CopyCommonTags(Tags& to, const TCommonTags* from) {
    to.Clear();
    if (from == nullptr) return;
    to.SetTitle(from->Title());
    to.SetArtist(from->Artist());
    to.SetAlbum(from->Album());
    to.SetGenre(from->Genre());
    to.SetYear(from->Year());
    to.SetTrack(from->Track());
}

// A sink whose APEv2 object takes the common tags' own names as item keys.
template <class Sink> void CopyApeItems(Sink& sink, const TCommonTags* tags) {
    sink.APEv2Tags().Clear();
    if (tags != nullptr) sink.SetAPEv2Tags(*tags);
}

template <class Sink> void NoLevel(Sink&, int) {}
template <class Sink> void NoTags(Sink&, const TCommonTags*) {}

// The row of the sink class that writes a catalogue target; its level and tag functions take
// that sink class, so a row cannot pair a sink with another sink's settings.
template <class Sink, void (*Level)(Sink&, int) = NoLevel<Sink>,
          void (*Tags)(Sink&, const TCommonTags*) = NoTags<Sink>>
TSinkRow SinkRow(const qm::TTargetFormat& target) {
    return {
        target.Id, []() -> std::unique_ptr<TAuFileOut> { return std::make_unique<Sink>(); },
        [](TAuFileOut& sink, int level) { Level(dynamic_cast<Sink&>(sink), level); },
        [](TAuFileOut& sink, const TCommonTags* tags) { Tags(dynamic_cast<Sink&>(sink), tags); }};
}

namespace Bindings {
TCodecRows WavRows();
TCodecRows FlacRows();
TCodecRows VorbisRows();
TCodecRows Mp3Rows();
TCodecRows WavPackRows();
TCodecRows Mp4Rows();
TCodecRows TtaRows();
TCodecRows TakRows();
TCodecRows OptimFrogRows();
TCodecRows ApeRows();
TCodecRows WmRows();
} // namespace Bindings

// Every codec's rows, made once.
const TCodecRows& ComponentRows();
// nullptr when no component exists for the format (yet).
const TSourceRow* FindSourceRow(qm::TSourceId format);
const TSinkRow* FindSinkRow(qm::TTargetId target);
