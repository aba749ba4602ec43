#include "codecs/loader/codec_library.h"

#include "pipeline/au_exception.h"

#include <cstdlib>
#include <dlfcn.h>
#include <filesystem>
#include <sstream>

CodecLibrary::CodecLibrary(std::string designFile, std::string fileName,
                           std::vector<EntryPoint> entries, PerCallMessages perCall)
    : designFile_(std::move(designFile)), fileName_(std::move(fileName)),
      entries_(std::move(entries)), perCall_(perCall) {}

CodecLibrary::~CodecLibrary() {
    if (handle_ != nullptr) ::dlclose(handle_);
}

std::recursive_mutex& CodecLibrary::LoaderLock() {
    static std::recursive_mutex lock;
    return lock;
}

std::vector<std::string> CodecLibrary::SearchFolders(bool& systemSearch) {
    std::vector<std::string> folders;
    // Set but empty (QUILLMERE_LIB_PATH= in a script) counts as not set.
    if (const char* path = std::getenv("QUILLMERE_LIB_PATH"); path != nullptr && *path != '\0') {
        systemSearch = false;
        std::stringstream list(path);
        std::string folder;
        while (std::getline(list, folder, ':'))
            if (!folder.empty()) folders.push_back(folder);
        return folders;
    }
    systemSearch = true;
    std::error_code error;
    const auto exe = std::filesystem::read_symlink("/proc/self/exe", error);
    if (!error) folders.push_back((exe.parent_path() / "Libs").string());
    return folders;
}

// Libraries stay mapped until the process ends, even once their handle is closed: some keep
// tables they build at first use in their globals, and nothing is gained by unmapping code
// another thread or an exit handler may still reach.
constexpr int kOpenFlags = RTLD_NOW | RTLD_LOCAL | RTLD_NODELETE;

void CodecLibrary::Load() {
    std::lock_guard guard(LoaderLock());
    if (loaded_) return;
    bool systemSearch = true;
    void* handle = nullptr;
    for (const auto& folder : SearchFolders(systemSearch)) {
        const auto path = std::filesystem::path(folder) / fileName_;
        handle = ::dlopen(path.c_str(), kOpenFlags);
        if (handle != nullptr) break;
    }
    if (handle == nullptr && systemSearch) handle = ::dlopen(fileName_.c_str(), kOpenFlags);
    if (handle == nullptr) return;
    handle_ = handle;
    // An entry point the library lacks stays null; Require or Checked reports it by name.
    for (const EntryPoint& entry : entries_)
        *entry.slot = ::dlsym(handle_, entry.name);
    loaded_ = true;
}

std::string CodecLibrary::MissingMessage(bool fullStop) const {
    return ".\\Libs\\" + designFile_ + " library could not be loaded" + (fullStop ? "." : "");
}

void CodecLibrary::Require(bool fullStop) {
    Load();
    if (!loaded_) throw EAuException(MissingMessage(fullStop));
    for (const EntryPoint& entry : entries_)
        if (entry.use == EntryUse::Called && *entry.slot == nullptr)
            throw EAuException("Function " + std::string(entry.name) + " not found in " +
                               designFile_);
}

void CodecLibrary::RaiseUnbound(void* const* slot) const {
    const char* name = "?";
    for (const EntryPoint& entry : entries_)
        if (entry.slot == slot) name = entry.name;
    const std::string word(perCall_.libraryWord);
    const std::string message =
        !loaded_ ? word + " library \".\\Libs\\" + designFile_ + "\" not loaded!"
                 : "Function \"" + std::string(name) + "\" not found in " + word + " library!";
    if (perCall_.raise != nullptr) perCall_.raise(message);
    throw EAuException(message);
}
