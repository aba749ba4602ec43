// Run-time loading of one codec library: a process-wide handle, loaded flag and entry-point
// table per library, bound under one re-entrant loader lock. A failed load is retried at the
// next request; a library is never unloaded before exit.
//
// Each library lists its entry points once, in an X-macro of rows X(name, use):
//   Called    the adapters call it: checked once when the library is required;
//   Optional  an alternative or a name some builds lack: bound when present, never required;
//   PerCall   checked by the wrapper before every call, with the wrapper's own messages.
#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

enum class EntryUse : uint8_t { Called, Optional, PerCall };

// One row of a library's entry-point table: the exported name and the pointer it fills.
struct EntryPoint {
    const char* name;
    void** slot;
    EntryUse use;
};

// A pointer member typed after the library's own prototype, and its table row.
#define QM_ENTRY_POINTER(fn, use) QM_ENTRY_POINTER_##use(fn)
#define QM_ENTRY_POINTER_Called(fn) decltype(&::fn) fn = nullptr;
#define QM_ENTRY_POINTER_Optional(fn) decltype(&::fn) fn = nullptr;
#define QM_ENTRY_POINTER_PerCall(fn) decltype(&::fn) fn = nullptr;
#define QM_ENTRY_ROW(fn, use) EntryPoint{#fn, reinterpret_cast<void**>(&fn), EntryUse::use},

// Declares the struct of a library's entry points from its X-macro.
#define QM_LIBRARY_API(Name, ENTRIES)                                                              \
    struct Name {                                                                                  \
        ENTRIES(QM_ENTRY_POINTER)                                                                  \
        std::vector<EntryPoint> Table() { return {ENTRIES(QM_ENTRY_ROW)}; }                        \
    }

// How a wrapper that checks every call reports a missing library or entry point:
// "<Word> library \"<path>\" not loaded!" and "Function \"<name>\" not found in <Word>
// library!", raised through its own exception type.
struct PerCallMessages {
    std::string_view libraryWord;
    void (*raise)(const std::string& message) = nullptr; // throws
};

class CodecLibrary {
public:
    // designFile is the Windows name the design knows the library by; fileName is the Linux
    // file or soname searched for, and named in messages.
    CodecLibrary(std::string designFile, std::string fileName, std::vector<EntryPoint> entries,
                 PerCallMessages perCall = {});
    CodecLibrary(const CodecLibrary&) = delete;
    CodecLibrary& operator=(const CodecLibrary&) = delete;
    ~CodecLibrary();

    // Loads the library unless it is loaded; no error here.
    void Load();
    bool Loaded() const { return loaded_; }
    // "<file> library could not be loaded (Debian package <name>)."
    std::string MissingMessage() const;
    // Loads the library, then throws EAuException with MissingMessage when it is not there, or
    // naming the first Called entry point it lacks.
    void Require();
    // For PerCall entries: raises the wrapper's own message when the library is not loaded or
    // the entry point is not bound, else returns the pointer.
    template <class F> F Checked(const F& slot) const {
        if (!loaded_ || slot == nullptr) RaiseUnbound(reinterpret_cast<void* const*>(&slot));
        return slot;
    }
    const std::string& DesignFile() const { return designFile_; }

    // The process-wide loader lock.
    static std::recursive_mutex& LoaderLock();
    // Folders searched before the system's own search: QUILLMERE_LIB_PATH when set and not empty
    // (then the system is not searched), else Libs/ beside the running executable. Never the
    // current folder.
    static std::vector<std::string> SearchFolders(bool& systemSearch);

private:
    [[noreturn]] void RaiseUnbound(void* const* slot) const;

    std::string designFile_;
    std::string fileName_;
    std::vector<EntryPoint> entries_;
    PerCallMessages perCall_;
    void* handle_ = nullptr;
    std::atomic<bool> loaded_{false};
};

// A library together with its typed entry points, as one process-wide object per library.
// A library that needs setting up once per process names a function to run after its first
// successful Require.
template <class Api> class LibraryBinding {
public:
    LibraryBinding(std::string designFile, std::string fileName, PerCallMessages perCall = {},
                   void (*setUp)(const Api&) = nullptr)
        : library_(std::move(designFile), std::move(fileName), api_.Table(), perCall),
          setUp_(setUp) {}

    // The entry points of a loaded library whose called ones are all there; throws otherwise.
    const Api& Require() {
        std::lock_guard guard(CodecLibrary::LoaderLock());
        library_.Require();
        if (setUp_ != nullptr && !setUpDone_) {
            setUp_(api_);
            setUpDone_ = true;
        }
        return api_;
    }
    void Load() { library_.Load(); }
    // The entry points as bound so far: null until loaded, and for names the library lacks.
    const Api& Entries() const { return api_; }
    CodecLibrary& Library() { return library_; }
    const CodecLibrary& Library() const { return library_; }

private:
    Api api_;
    CodecLibrary library_;
    void (*setUp_)(const Api&);
    bool setUpDone_ = false; // under the loader lock
};
