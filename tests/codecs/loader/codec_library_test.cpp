// The loader: search folders, retry after a failed load, missing entry points, messages.
#include "../../support/hidden_libraries.h"
#include "codecs/loader/codec_library.h"
#include "pipeline/au_exception.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <ogg/ogg.h>
#include <optional>

namespace fs = std::filesystem;

// Declared only so that a table row can be typed after it; no library exports it.
extern "C" int qm_no_such_entry(int);

namespace {

#define QM_OGG_SUBSET(X)                                                                           \
    X(ogg_sync_init, Called)                                                                       \
    X(ogg_page_bos, Called)                                                                        \
    X(ogg_page_eos, PerCall)                                                                       \
    X(qm_no_such_entry, Optional)
QM_LIBRARY_API(OggSubset, QM_OGG_SUBSET);

// The same library with the absent name marked as called, or checked per call.
#define QM_OGG_CALLS_ABSENT(X) X(ogg_sync_init, Called) X(qm_no_such_entry, Called)
QM_LIBRARY_API(OggCallsAbsent, QM_OGG_CALLS_ABSENT);
#define QM_OGG_CHECKS_ABSENT(X) X(ogg_page_eos, PerCall) X(qm_no_such_entry, PerCall)
QM_LIBRARY_API(OggChecksAbsent, QM_OGG_CHECKS_ABSENT);

struct OggCallError : std::runtime_error {
    using std::runtime_error::runtime_error;
};
const PerCallMessages kOggPerCall{"Ogg", [](const std::string& m) { throw OggCallError(m); }};

template <class F> std::string ErrorOf(F&& call) {
    try {
        call();
    } catch (const std::exception& e) {
        return e.what();
    }
    return "";
}

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
        EXPECT_STREQ(e.what(), "libogg.so.0 library could not be loaded (Debian package libogg0).");
    }

    // Dropped into the folder while the program runs: the next request finds it.
    fs::create_symlink(ogg, dir / "libogg.so.0");
    library.Load();
    ASSERT_TRUE(library.Loaded());
    EXPECT_NO_THROW(library.Require());
    ASSERT_NE(api.ogg_sync_init, nullptr);
    ogg_sync_state state;
    EXPECT_EQ(api.ogg_sync_init(&state), 0);
    EXPECT_EQ(api.qm_no_such_entry, nullptr); // optional: bound when present, never required
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

TEST(CodecLibrary, WithoutOverrideOrWithAnEmptyOneTheSystemSearchFindsTheSoname) {
    for (const char* value : {static_cast<const char*>(nullptr), ""}) {
        ::unsetenv("QUILLMERE_LIB_PATH");
        std::optional<LibPath> path;
        if (value) path.emplace(value);
        OggSubset api;
        CodecLibrary library("ogg.dll", "libogg.so.0", api.Table());
        library.Load();
        EXPECT_TRUE(library.Loaded()) << (value ? "set but empty" : "unset");
        EXPECT_NE(api.ogg_page_bos, nullptr);
    }
}

// Called names are checked once at Require, per-call names at each call with the wrapper's own
// words and exception type, and a missing library is named before any entry point.
TEST(CodecLibrary, EachUseIsCheckedByTheLoaderWithItsOwnMessage) {
    ::unsetenv("QUILLMERE_LIB_PATH");
    LibraryBinding<OggCallsAbsent> calls("ogg.dll", "libogg.so.0");
    EXPECT_EQ(ErrorOf([&] { calls.Require(); }),
              "Function qm_no_such_entry not found in libogg.so.0");

    LibraryBinding<OggChecksAbsent> checks("ogg.dll", "libogg.so.0", kOggPerCall);
    const OggChecksAbsent& api = checks.Require();
    EXPECT_NE(checks.Library().Checked(api.ogg_page_eos), nullptr);
    EXPECT_THROW(checks.Library().Checked(api.qm_no_such_entry), OggCallError);
    EXPECT_EQ(ErrorOf([&] { checks.Library().Checked(api.qm_no_such_entry); }),
              "Function \"qm_no_such_entry\" not found in Ogg library!");

    LibPath nowhere("/nonexistent");
    LibraryBinding<OggChecksAbsent> absent("ogg.dll", "libogg.so.0", kOggPerCall);
    EXPECT_EQ(ErrorOf([&] { absent.Library().Checked(absent.Entries().ogg_page_eos); }),
              "Ogg library \"libogg.so.0\" not loaded!");
}
