// For tests that hide codec libraries from the loader with QUILLMERE_LIB_PATH and then let
// them appear again.
#pragma once

#include "pipeline/au_exception.h"
#include "pipeline/au_input.h"

#include <filesystem>
#include <string>

// Where the system keeps a library file, or empty when it is not installed.
inline std::filesystem::path SystemLibrary(const std::string& name) {
    for (const char* dir : {"/usr/lib/x86_64-linux-gnu", "/usr/lib/aarch64-linux-gnu", "/usr/lib"})
        if (std::filesystem::exists(std::filesystem::path(dir) / name))
            return std::filesystem::path(dir) / name;
    return {};
}

// The text Init raises, or "" when the source opens (it is flushed again).
inline std::string InitError(TAuInput& source) {
    try {
        source.Init();
        source.Flush();
    } catch (const EAuException& e) {
        return e.what();
    }
    return "";
}
