// Byte streams under the file endpoints: an abstract stream, a stream over a descriptor the
// caller owns, and TAuFileStream, which opens or creates a file and owns its descriptor.
#pragma once

#include <cstdint>
#include <span>
#include <string>

class TStream {
public:
    enum class Origin { Begin, Current, End };

    TStream() = default;
    TStream(const TStream&) = delete;
    TStream& operator=(const TStream&) = delete;
    virtual ~TStream() = default;

    // Returns the bytes read (fewer at the end); throws EAuException on an I/O error.
    virtual size_t Read(std::span<uint8_t> buffer) = 0;
    // Returns the bytes written; fewer means the write failed (disk full).
    virtual size_t Write(std::span<const uint8_t> buffer) = 0;
    // Returns the new position, or -1 when the stream cannot be positioned there.
    virtual int64_t Seek(int64_t offset, Origin origin) = 0;
    virtual int64_t Size() = 0;
    // Cuts or extends the stream at the current position.
    virtual bool Truncate() = 0;

    int64_t Position() { return Seek(0, Origin::Current); }
    // Reads exactly buffer.size() bytes or returns false.
    bool ReadExact(std::span<uint8_t> buffer) { return Read(buffer) == buffer.size(); }
    bool WriteAll(std::span<const uint8_t> buffer) { return Write(buffer) == buffer.size(); }
};

// A stream over a descriptor that someone else opened and closes.
class THandleStream : public TStream {
public:
    explicit THandleStream(int fd) : fd_(fd) {}
    size_t Read(std::span<uint8_t> buffer) override;
    size_t Write(std::span<const uint8_t> buffer) override;
    int64_t Seek(int64_t offset, Origin origin) override;
    int64_t Size() override;
    bool Truncate() override;
    int Handle() const { return fd_; }

protected:
    int fd_;
};

// File mode words: fmCreate creates (or empties) a file for reading and writing; any other
// value opens an existing file, access in the low two bits (0 read, 1 write, 2 both), sharing
// in bits 4..7 (advisory on Linux, kept for callers).
inline constexpr uint16_t fmCreate = 0xFFFF;
inline constexpr uint16_t fmOpenRead = 0x0000;
inline constexpr uint16_t fmOpenWrite = 0x0001;
inline constexpr uint16_t fmOpenReadWrite = 0x0002;
inline constexpr uint16_t fmShareExclusive = 0x0010;
inline constexpr uint16_t fmShareDenyWrite = 0x0020;
inline constexpr uint16_t fmShareDenyRead = 0x0030;
inline constexpr uint16_t fmShareDenyNone = 0x0040;

class TAuFileStream : public THandleStream {
public:
    // Throws EAuException with the system's text for the error when the file cannot be opened.
    // With exclusive set, fmCreate fails when the file already exists, so nothing is overwritten.
    TAuFileStream(const std::string& fileName, uint16_t mode, bool exclusive = false);
    ~TAuFileStream() override;
    // Closes the file now; "" or the system's text for a failure (a network or FUSE file system
    // may report its final write only here).
    std::string Close();
    const std::string& FileName() const { return fileName_; }

private:
    std::string fileName_;
};
