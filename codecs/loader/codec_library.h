// Run-time loading of one codec library: a process-wide handle, loaded flag and entry-point
// table per library, bound under one re-entrant loader lock. A failed load is retried at the
// next request; a library is never unloaded before exit.
#pragma once

#include <atomic>
#include <mutex>
#include <span>
#include <string>
#include <string_view>
#include <vector>

// One row of a library's entry-point table: the exported name and the pointer it fills.
struct EntryPoint {
    const char* name;
    void** slot;
};

// Declares a pointer member typed after the library's own prototype, and its table row.
#define QM_ENTRY_POINTER(fn) decltype(&::fn) fn = nullptr;
#define QM_ENTRY_ROW(fn) EntryPoint{#fn, reinterpret_cast<void**>(&fn)},

class CodecLibrary {
public:
    // designFile names the library in messages (".\Libs\libFLAC.dll"); fileName is the Linux
    // file or soname searched for.
    CodecLibrary(std::string designFile, std::string fileName, std::vector<EntryPoint> entries);
    CodecLibrary(const CodecLibrary&) = delete;
    CodecLibrary& operator=(const CodecLibrary&) = delete;
    ~CodecLibrary();

    // Loads the library unless it is loaded; no error here.
    void Load();
    bool Loaded() const { return loaded_; }
    // ".\Libs\<file> library could not be loaded." (without the full stop when asked).
    std::string MissingMessage(bool fullStop = true) const;
    // Throws EAuException with MissingMessage when the library is not loaded.
    void Require(bool fullStop = true) const;
    // Throws EAuException naming an entry point that an adapter needs and the library lacks.
    void RequireEntry(const void* pointer, std::string_view name) const;
    const std::string& DesignFile() const { return designFile_; }

    // The process-wide loader lock.
    static std::recursive_mutex& LoaderLock();
    // Folders searched before the system's own search: QUILLMERE_LIB_PATH when set (then the
    // system is not searched), else Libs/ beside the running executable. Never the current
    // folder.
    static std::vector<std::string> SearchFolders(bool& systemSearch);

private:
    std::string designFile_;
    std::string fileName_;
    std::vector<EntryPoint> entries_;
    void* handle_ = nullptr;
    std::atomic<bool> loaded_{false};
};
