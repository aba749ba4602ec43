// The loader: search folders, retry after a failed load, missing entry points, messages.
#include "../../support/hidden_libraries.h"
#include "codecs/loader/codec_library.h"
#include "pipeline/au_exception.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <ogg/ogg.h>

namespace fs = std::filesystem;

namespace {

struct OggSubset {
    QM_ENTRY_POINTER(ogg_sync_init)
    QM_ENTRY_POINTER(ogg_page_bos)
    void* not_exported = nullptr;
    std::vector<EntryPoint> Table() {
        return {QM_ENTRY_ROW(ogg_sync_init) QM_ENTRY_ROW(ogg_page_bos)
                    EntryPoint{"qm_no_such_entry", &not_exported}};
    }
};

fs::path SystemOgg() {
    return SystemLibrary("libogg.so.0");
}

class LibPath {
public:
    explicit LibPath(const std::string& value) { ::setenv("QUILLMERE_LIB_PATH", value.c_str(), 1); }
    ~LibPath() { ::unsetenv("QUILLMERE_LIB_PATH"); }
};

} // namespace

TEST(CodecLibrary, MissingLibraryIsReportedAndPickedUpWhenItAppears) {
    const fs::path ogg = SystemOgg();
    ASSERT_FALSE(ogg.empty()) << "libogg0 is required";
    const fs::path dir = fs::temp_directory_path() / ("qm_libs_" + std::to_string(::getpid()));
    fs::remove_all(dir);
    fs::create_directories(dir);
    LibPath path(dir.string());

    OggSubset api;
    CodecLibrary library("ogg.dll", "libogg.so.0", api.Table());
    library.Load();
    EXPECT_FALSE(library.Loaded());
    try {
        library.Require();
        FAIL();
    } catch (const EAuException& e) {
        EXPECT_STREQ(e.what(), ".\\Libs\\ogg.dll library could not be loaded.");
    }
    EXPECT_EQ(library.MissingMessage(false), ".\\Libs\\ogg.dll library could not be loaded");

    // Dropped into the folder while the program runs: the next request finds it.
    fs::create_symlink(ogg, dir / "libogg.so.0");
    library.Load();
    ASSERT_TRUE(library.Loaded());
    EXPECT_NO_THROW(library.Require());
    ASSERT_NE(api.ogg_sync_init, nullptr);
    ogg_sync_state state;
    EXPECT_EQ(api.ogg_sync_init(&state), 0);
    EXPECT_EQ(api.not_exported, nullptr);
    EXPECT_THROW(library.RequireEntry(api.not_exported, "qm_no_such_entry"), EAuException);
    fs::remove_all(dir);
}

TEST(CodecLibrary, TheCurrentFolderIsNeverSearched) {
    const fs::path ogg = SystemOgg();
    ASSERT_FALSE(ogg.empty());
    const fs::path dir = fs::temp_directory_path() / ("qm_cwd_" + std::to_string(::getpid()));
    fs::remove_all(dir);
    fs::create_directories(dir / "empty");
    fs::create_symlink(ogg, dir / "libogg.so.0");
    const fs::path old = fs::current_path();
    fs::current_path(dir);
    {
        LibPath path((dir / "empty").string());
        OggSubset api;
        CodecLibrary library("ogg.dll", "libogg.so.0", api.Table());
        library.Load();
        EXPECT_FALSE(library.Loaded());
    }
    fs::current_path(old);
    fs::remove_all(dir);
}

TEST(CodecLibrary, WithoutOverrideTheSystemSearchFindsTheSoname) {
    ::unsetenv("QUILLMERE_LIB_PATH");
    OggSubset api;
    CodecLibrary library("ogg.dll", "libogg.so.0", api.Table());
    library.Load();
    EXPECT_TRUE(library.Loaded());
    EXPECT_NE(api.ogg_page_bos, nullptr);
}
