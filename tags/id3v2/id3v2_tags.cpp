// ID3v2 fields and the file layer over the byte-level tag parser and builder.
#include "tags/id3v2/id3v2_tags.h"

#include "tags/file_io.h"
#include "tags/id3v2/id3v2_frames.h"
#include "tags/text_encoding.h"

TId3v2Tags::TId3v2Tags() {
    for (const FrameKeys& keys : kFrameKeys) {
        AddField(keys.Short, TTagValue());
        AddField(keys.Long, TTagValue());
    }
}

bool TId3v2Tags::ReadFromTag(std::span<const uint8_t> tag) {
    Clear();
    const std::optional<tags::Id3v2Header> header = tags::ParseId3v2Header(tag);
    if (!header) return false;
    longFrameIds_ = header->Version != 2;
    for (const tags::Id3v2Frame& frame : tags::ParseId3v2Frames(tag, *header)) {
        for (size_t index = 0; index < kFrameKeys.size(); ++index) {
            if (frame.Id != Key(index)) continue;
            if (index != kCommentIndex) {
                if (const std::optional<TTagValue> value = tags::DecodeId3v2Text(frame.Body))
                    SetField(frame.Id, *value);
            }
            break;
        }
    }
    return true;
}

std::optional<std::vector<uint8_t>> TId3v2Tags::BuildTag(bool unicode) const {
    std::vector<tags::Id3v2TextFrame> frames;
    for (size_t index = 0; index < kFrameKeys.size(); ++index) {
        if (index == kCommentIndex) continue;
        const std::string_view key = kFrameKeys[index].Long;
        tags::Id3v2TextFrame frame{std::string(key), tags::kId3v2Latin1, {}};
        if (unicode && GetField(key).IsWideString()) {
            frame.Encoding = tags::kId3v2Utf8;
            frame.Text = tags::Utf16ToUtf8(GetField(key).WideString());
        } else {
            frame.Text = tags::Utf8ToLatin1(AsString(key));
        }
        if (!frame.Text.empty()) frames.push_back(std::move(frame));
    }
    return tags::BuildId3v2Tag(frames);
}

bool TId3v2Tags::ProbeFile(int fd) {
    const std::optional<int64_t> position = tags::CurrentPosition(fd);
    if (!position) return false;
    std::array<uint8_t, tags::kId3v2HeaderSize> header{};
    return tags::ReadAt(fd, *position, header) == header.size() &&
           tags::ParseId3v2Header(header).has_value();
}

bool TId3v2Tags::ReadFromFile(int fd) {
    if (fd < 0) return false;
    Clear();
    const std::optional<int64_t> start = tags::CurrentPosition(fd);
    if (!start) return false;
    std::array<uint8_t, tags::kId3v2HeaderSize> headerBytes{};
    if (tags::ReadAt(fd, *start, headerBytes) != headerBytes.size()) return false;
    const std::optional<tags::Id3v2Header> header = tags::ParseId3v2Header(headerBytes);
    if (!header) return false;

    // Only a tag that the file holds in full is read; the allocation is bounded by the file.
    const int64_t frameAreaEnd = *start + int64_t{tags::kId3v2HeaderSize} + header->Size;
    const std::optional<int64_t> size = tags::FileSize(fd);
    std::vector<uint8_t> tag(headerBytes.begin(), headerBytes.end());
    if (size && *size >= frameAreaEnd) {
        tag.resize(tags::kId3v2HeaderSize + header->Size);
        const size_t got = tags::ReadAt(fd, *start, tag);
        tag.resize(got);
    }
    ReadFromTag(tag);
    tags::SetPosition(fd, *start + header->TotalLength());
    return true;
}

bool TId3v2Tags::WriteToFile(int fd, bool unicode) {
    if (fd < 0) return false;
    const std::optional<std::vector<uint8_t>> tag = BuildTag(unicode);
    return tag && tags::InsertAtStart(fd, *tag);
}
