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

namespace {

// Where a user gets each library: Debian's package, or ours (the stand-ins ship with the
// program in its Libs folder).
std::string_view Provider(std::string_view fileName) {
    static constexpr std::pair<std::string_view, std::string_view> kProviders[] = {
        {"libogg.so.0", "Debian package libogg0"},
        {"libvorbis.so.0", "Debian package libvorbis0a"},
        {"libvorbisfile.so.3", "Debian package libvorbisfile3"},
        {"libvorbisenc.so.2", "Debian package libvorbisenc2"},
        {"libFLAC.so.12", "Debian package libflac12"},
        {"libwavpack.so.1", "Debian package libwavpack1"},
        {"libmpg123.so.0", "Debian package libmpg123-0"},
        {"libfaad.so.2", "Debian package libfaad2"},
        {"libOptimFROG.so.0", "the OptimFROG vendor's library, not packaged by Debian"},
    };
    for (const auto& [file, provider] : kProviders)
        if (file == fileName) return provider;
    return "Debian package quillmere";
}

} // namespace

std::string CodecLibrary::MissingMessage() const {
    return fileName_ + " library could not be loaded (" + std::string(Provider(fileName_)) + ").";
}

void CodecLibrary::Require() {
    Load();
    if (!loaded_) throw EAuException(MissingMessage());
    for (const EntryPoint& entry : entries_)
        if (entry.use == EntryUse::Called && *entry.slot == nullptr)
            throw EAuException("Function " + std::string(entry.name) + " not found in " +
                               fileName_);
}

void CodecLibrary::RaiseUnbound(void* const* slot) const {
    const char* name = "?";
    for (const EntryPoint& entry : entries_)
        if (entry.slot == slot) name = entry.name;
    const std::string word(perCall_.libraryWord);
    const std::string message =
        !loaded_ ? word + " library \"" + fileName_ + "\" not loaded!"
                 : "Function \"" + std::string(name) + "\" not found in " + word + " library!";
    if (perCall_.raise != nullptr) perCall_.raise(message);
    throw EAuException(message);
}
