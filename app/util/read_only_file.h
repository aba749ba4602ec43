// A regular file opened for reading, closed by its destructor. Opening never blocks (a FIFO
// named like an audio file must not hang the GUI) and refuses anything but a regular file.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

namespace qm {

class ReadOnlyFile {
public:
    // Empty when the path cannot be opened for reading or is not a regular file.
    static std::optional<ReadOnlyFile> Open(std::string_view path);

    ReadOnlyFile(ReadOnlyFile&& other) noexcept;
    ReadOnlyFile& operator=(ReadOnlyFile&& other) noexcept;
    ReadOnlyFile(const ReadOnlyFile&) = delete;
    ReadOnlyFile& operator=(const ReadOnlyFile&) = delete;
    ~ReadOnlyFile();

    std::optional<std::uint64_t> Size() const;

    // The whole file from its start; empty when it cannot be read or holds more than maxBytes.
    std::optional<std::vector<std::byte>> ReadAll(std::size_t maxBytes) const;

private:
    explicit ReadOnlyFile(int descriptor) : Descriptor(descriptor) {}

    int Descriptor = -1;
};

} // namespace qm
