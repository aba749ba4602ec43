// Without libmpg123 the MP3 source fails with the library's message. A process of its own: a
// loaded library stays loaded.
#include "codecs/mpg123/mpg_in.h"
#include "pipeline/au_exception.h"
#include "tests/support/tools.h"

#include <gtest/gtest.h>

#include <cstdlib>

TEST(MpgInWithoutLibrary, ReportsTheMissingLibrary) {
    TempDir libs;
    ::setenv("QUILLMERE_LIB_PATH", libs.Path().c_str(), 1);
    const std::string mp3 = libs / "a.mp3";
    RunCommand("sox -q -n -r 44100 -c 1 -t wav - synth 0.2 sine 440 | lame --quiet - " +
               Quote(mp3));
    TMpgIn source;
    source.SetFileName(mp3);
    try {
        source.FileValid();
        ADD_FAILURE() << "opened without the library";
    } catch (const EAuException& e) {
        EXPECT_STREQ(e.what(), ".\\Libs\\libmpg123.dll library could not be loaded.");
    }
    EXPECT_THROW(source.Init(), EAuException);
    ::unsetenv("QUILLMERE_LIB_PATH");
}
