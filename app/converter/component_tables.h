// The driver's two tables: which source class reads a source descriptor, and which sink class
// writes a target descriptor, with how the level and the tags reach that sink. Each codec adds
// its rows here and nowhere else.
#pragma once

#include "app/converter/level_settings.h"
#include "pipeline/au_file_in.h"
#include "pipeline/au_file_out.h"
#include "tags/common_tags.h"

#include <memory>
#include <string_view>

struct TSourceRow {
    std::string_view descriptor;
    std::unique_ptr<TAuFileIn> (*create)();
};

struct TSinkRow {
    std::string_view descriptor;
    std::unique_ptr<TAuFileOut> (*create)();
    void (*applyLevel)(TAuFileOut& sink, const TLevelSettings& settings);
    // Clears the sink's own tag objects, then fills them from tags (nullptr: copy none).
    void (*applyTags)(TAuFileOut& sink, const TCommonTags* tags);
};

// nullptr when no component exists for the descriptor (yet).
const TSourceRow* FindSourceRow(std::string_view descriptor);
const TSinkRow* FindSinkRow(std::string_view descriptor);
