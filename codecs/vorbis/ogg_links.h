// Where the links of a chained Ogg stream lie: files joined end to end (by a program or by a
// user's `cat`) are one stream of several links, each starting with its beginning-of-stream
// pages. Found from the pages themselves, so links that share a serial number are told apart.
#pragma once

#include "pipeline/au_stream.h"

#include <cstdint>
#include <vector>

struct OggLayout {
    // Byte offset of each link; the first link starts at 0 (before any leading bytes), and a
    // link runs to the start of the next or to the end of the stream.
    std::vector<int64_t> linkStarts{0};
    int64_t length = 0;
    // The stream ends inside a page: it was cut short.
    bool endsInsidePage = false;
    // A page fails its checksum (the library reports the gap such a page leaves inside a link,
    // but not one at a link's end or the stream's).
    bool pageDamaged = false;
};

// Reads the stream from its start to its end. Throws what the stream throws on a read error.
OggLayout ScanOggLayout(TStream& stream);
