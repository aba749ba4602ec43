// Helpers for tests that judge our files with Debian's reference tools.
#pragma once

#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <unistd.h>
#include <vector>

struct CommandResult {
    int status = -1;
    std::string output; // stdout only
};

// Runs a shell command; stderr goes to the test log.
inline CommandResult RunCommand(const std::string& command) {
    CommandResult result;
    FILE* pipe = ::popen(command.c_str(), "r");
    if (pipe == nullptr) return result;
    std::array<char, 4096> buffer{};
    size_t n;
    while ((n = std::fread(buffer.data(), 1, buffer.size(), pipe)) > 0)
        result.output.append(buffer.data(), n);
    const int status = ::pclose(pipe);
    result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return result;
}

// Quotes a path for the shell.
inline std::string Quote(const std::string& text) {
    std::string quoted = "'";
    for (char c : text)
        quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

inline bool HaveTool(const std::string& tool) {
    return RunCommand("command -v " + tool + " >/dev/null 2>&1").status == 0;
}

inline std::vector<uint8_t> ReadFileBytes(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

inline void WriteFileBytes(const std::filesystem::path& path, const std::vector<uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
}

// A fresh folder removed with everything in it when the test ends.
class TempDir {
public:
    TempDir() {
        std::string pattern =
            (std::filesystem::temp_directory_path() / "quillmere_XXXXXX").string();
        path_ = ::mkdtemp(pattern.data());
    }
    ~TempDir() {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::filesystem::path& Path() const { return path_; }
    std::string operator/(const std::string& name) const { return (path_ / name).string(); }

private:
    std::filesystem::path path_;
};

// The folder of our executables: QM_BIN_DIR (set by ctest), else the test's own folder.
inline std::string BinDir() {
    if (const char* dir = std::getenv("QM_BIN_DIR")) return dir;
    return std::filesystem::read_symlink("/proc/self/exe").parent_path().string();
}

// The shared sample files of one kind ("tak", "ape", ...): under QM_SAMPLES_DIR when set (a
// folder that does not exist shows which tests skip without samples), else ../shared/samples
// beside the source tree.
inline std::filesystem::path SamplesDir(const std::string& kind) {
    if (const char* dir = std::getenv("QM_SAMPLES_DIR")) return std::filesystem::path(dir) / kind;
    const char* source = std::getenv("QM_SOURCE_DIR");
    return std::filesystem::weakly_canonical(std::filesystem::path(source ? source : ".") /
                                             "../shared/samples" / kind);
}

inline std::string Cli() {
    return BinDir() + "/quillmere-cli";
}

// Runs quillmere-cli with stdout and stderr together; env is put in front ("A=b ").
inline CommandResult RunCli(const std::string& args, const std::string& env = "") {
    return RunCommand(env + Quote(Cli()) + " " + args + " 2>&1");
}

inline bool Contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

inline const char* RawPcmFormat(int bits) {
    return bits == 8 ? "u8" : bits == 16 ? "s16le" : bits == 24 ? "s24le" : "s32le";
}

// ffmpeg's own decoding of a file, as pipeline PCM of the given width.
inline std::vector<uint8_t> FfmpegPcm(const std::string& path, int bits) {
    const std::string format = RawPcmFormat(bits);
    const CommandResult result = RunCommand("ffmpeg -nostdin -v error -i " + Quote(path) +
                                            " -c:a pcm_" + format + " -f " + format + " -");
    EXPECT_EQ(result.status, 0) << path;
    return {result.output.begin(), result.output.end()};
}

// Runs a command that must succeed; its stderr goes to the test log.
inline void Tool(const std::string& command) {
    const CommandResult result = RunCommand(command);
    ASSERT_EQ(result.status, 0) << command << "\n" << result.output;
}

// 1.3 s of raw PCM (RawPcmFormat of bits) by ffmpeg: tone and noise, different in every channel
// (the fourth silent).
inline void MakeTonesAndNoise(const std::string& raw, int bits, int channels, int rate) {
    const char* expressions[] = {"0.5*sin(440*2*PI*t)+0.3*(random(0)-0.5)",
                                 "0.9*sin(60*2*PI*t)",
                                 "0.2*(random(1)-0.5)",
                                 "0",
                                 "0.99*sin(5000*2*PI*t)",
                                 "0.6*sin(3*2*PI*t)*(random(2)-0.5)"};
    std::string exprs;
    for (int c = 0; c < channels; ++c)
        exprs += (c ? "|" : "") + std::string(expressions[c % 6]);
    const std::string format = RawPcmFormat(bits);
    Tool("ffmpeg -nostdin -v error -y -f lavfi -i \"aevalsrc=exprs='" + exprs + "':s=" +
         std::to_string(rate) + ":d=1.3\" -c:a pcm_" + format + " -f " + format + " " + Quote(raw));
}

// A stereo 44.1 kHz WAVE file of two tones; format holds sox's sample options.
inline void MakeWav(const std::string& path, double seconds = 0.5,
                    const std::string& format = "-b 16") {
    const auto made = RunCommand("sox -n -r 44100 -c 2 " + format + " " + Quote(path) + " synth " +
                                 std::to_string(seconds) + " sine 440 sine 660 vol 0.5");
    ASSERT_EQ(made.status, 0) << path;
}

// A command's output split into lines.
inline std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}
