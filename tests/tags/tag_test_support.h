// Shared helpers of the tag tests: temporary files held by descriptor, byte building, and
// running the reference tools as separate processes.
#pragma once

#include "tests/support/tools.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <optional>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace tagtest {

using Bytes = std::vector<uint8_t>;

inline Bytes ToBytes(std::string_view text) {
    return Bytes(text.begin(), text.end());
}

inline void Append(Bytes& out, std::string_view text) {
    out.insert(out.end(), text.begin(), text.end());
}
inline void Append(Bytes& out, std::initializer_list<uint8_t> bytes) {
    out.insert(out.end(), bytes.begin(), bytes.end());
}

// A file in a private temporary folder, open read-write; removed with its folder at the end.
class TempFile {
public:
    explicit TempFile(std::string_view name = "file.bin") {
        char pattern[] = "/tmp/qm_tags_XXXXXX";
        const char* dir = mkdtemp(pattern);
        if (!dir) throw std::runtime_error("mkdtemp failed");
        dir_ = dir;
        path_ = (dir_ / name).string();
        fd_ = open(path_.c_str(), O_RDWR | O_CREAT | O_TRUNC, 0600);
        if (fd_ < 0) throw std::runtime_error("cannot create " + path_);
    }
    TempFile(const TempFile&) = delete;
    TempFile& operator=(const TempFile&) = delete;
    ~TempFile() {
        if (fd_ >= 0) close(fd_);
        std::error_code ignored;
        std::filesystem::remove_all(dir_, ignored);
    }

    int Fd() const { return fd_; }
    const std::string& Path() const { return path_; }
    std::filesystem::path Dir() const { return dir_; }

    // Replaces the content and puts the position at offset 0.
    void SetContent(std::span<const uint8_t> content) const {
        if (ftruncate(fd_, 0) != 0 ||
            pwrite(fd_, content.data(), content.size(), 0) != static_cast<ssize_t>(content.size()))
            throw std::runtime_error("cannot write " + path_);
        lseek(fd_, 0, SEEK_SET);
    }
    Bytes Content() const {
        struct stat info {};
        fstat(fd_, &info);
        Bytes content(static_cast<size_t>(info.st_size));
        if (pread(fd_, content.data(), content.size(), 0) != static_cast<ssize_t>(content.size()))
            throw std::runtime_error("cannot read " + path_);
        return content;
    }
    off_t Position() const { return lseek(fd_, 0, SEEK_CUR); }
    // Opens the file again after a tool has replaced it.
    void Reopen() {
        close(fd_);
        fd_ = open(path_.c_str(), O_RDWR);
        if (fd_ < 0) throw std::runtime_error("cannot open " + path_);
    }

private:
    std::filesystem::path dir_;
    std::string path_;
    int fd_ = -1;
};

using ::HaveTool;
using ::Quote;
using ::RunCommand;

// The value of "TAG:key=" in ffprobe's -show_format output, or nothing.
inline std::optional<std::string> ProbeTag(const std::string& path, const std::string& key) {
    const CommandResult result =
        RunCommand("ffprobe -v error -show_format " + Quote(path) + " 2>/dev/null");
    const std::string marker = "TAG:" + key + "=";
    size_t pos = 0;
    while ((pos = result.output.find(marker, pos)) != std::string::npos) {
        if (pos == 0 || result.output[pos - 1] == '\n') {
            const size_t start = pos + marker.size();
            return result.output.substr(start, result.output.find('\n', start) - start);
        }
        pos += marker.size();
    }
    return std::nullopt;
}

// A tenth of a second of silence as WAV, made by sox in dir.
// Two seconds of tone: enough MPEG frames that a prober always recognises the stream behind a
// tag (a tenth of a second of silence once was not).
inline std::string MakeWav(const std::filesystem::path& dir) {
    const std::string wav = (dir / "tone.wav").string();
    if (RunCommand("sox -n -r 44100 -c 1 -b 16 " + Quote(wav) + " synth 2 sine 440 2>/dev/null")
            .status != 0)
        throw std::runtime_error("sox failed");
    return wav;
}

// Copies a file a tool disagreed about to a place that outlives the test; returns that path.
inline std::string KeepFailedInput(const std::string& path, const std::string& label) {
    const char* dir = std::getenv("QM_KEEP_DIR");
    const std::filesystem::path keep =
        std::filesystem::path(dir ? dir : std::filesystem::temp_directory_path().string()) /
        ("qm-kept-" + label + "-" + std::to_string(::getpid()) +
         std::filesystem::path(path).extension().string());
    std::error_code error;
    std::filesystem::copy_file(path, keep, std::filesystem::copy_options::overwrite_existing,
                               error);
    return keep.string();
}

// A short untagged MP3 made by lame at path, in the same folder.
inline void MakePlainMp3(const std::filesystem::path& dir, const std::string& path) {
    const std::string wav = MakeWav(dir);
    if (RunCommand("lame --silent " + Quote(wav) + " " + Quote(path)).status != 0)
        throw std::runtime_error("lame failed");
}

} // namespace tagtest
