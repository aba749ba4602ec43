// The iTunes metadata item list (ilst): each item box holds a 'data' box with a type, a locale
// and the value; free-form items ('----') name themselves with 'mean' and 'name' boxes.
#include "platform/mp4ff/byte_reader.h"
#include "platform/mp4ff/movie.h"
#include "tags/id3v1/id3v1_genres.h"

#include <cstdio>

namespace mp4 {
namespace {

struct ItemData {
    uint32_t type = 0; // 1 UTF-8, 2 UTF-16, 0 and 21 binary or integers, 13/14 pictures
    std::span<const uint8_t> value;
};

bool FindData(std::span<const uint8_t> item, ItemData& data) {
    Box box;
    if (!BoxWalker::Find(item, FourCc("data"), box)) return false;
    ByteReader reader(box.payload);
    reader.Skip(1); // version
    data.type = reader.U24();
    reader.Skip(4); // locale
    if (!reader.Ok()) return false;
    data.value = reader.Rest();
    return true;
}

void AppendUtf8(std::string& out, uint32_t code) {
    if (code < 0x80) {
        out += char(code);
    } else if (code < 0x800) {
        out += char(0xC0 | code >> 6);
        out += char(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
        out += char(0xE0 | code >> 12);
        out += char(0x80 | (code >> 6 & 0x3F));
        out += char(0x80 | (code & 0x3F));
    } else {
        out += char(0xF0 | code >> 18);
        out += char(0x80 | (code >> 12 & 0x3F));
        out += char(0x80 | (code >> 6 & 0x3F));
        out += char(0x80 | (code & 0x3F));
    }
}

// Text up to its first zero; UTF-16 (big-endian) converted, unpaired surrogates replaced.
std::string Text(const ItemData& data) {
    std::string text;
    if (data.type == 2) {
        ByteReader reader(data.value);
        while (reader.Remaining() >= 2) {
            uint32_t code = reader.U16();
            if (code == 0) break;
            if (code >= 0xD800 && code < 0xDC00 && reader.Remaining() >= 2) {
                const uint32_t low = reader.U16();
                code = low >= 0xDC00 && low < 0xE000
                           ? 0x10000 + ((code - 0xD800) << 10) + (low - 0xDC00)
                           : 0xFFFD;
            } else if (code >= 0xD800 && code < 0xE000) {
                code = 0xFFFD;
            }
            AppendUtf8(text, code);
        }
        return text;
    }
    for (uint8_t byte : data.value) {
        if (byte == 0) break;
        text += char(byte);
    }
    return text;
}

std::string Decimal(uint64_t value) {
    char text[24];
    std::snprintf(text, sizeof text, "%llu", static_cast<unsigned long long>(value));
    return text;
}

// trkn and disk: reserved, number, total (16 bits each).
void AddPair(std::vector<MetaItem>& items, const ItemData& data, const char* number,
             const char* total) {
    ByteReader reader(data.value);
    reader.Skip(2);
    const uint16_t first = reader.U16();
    const uint16_t second = reader.U16();
    if (!reader.Ok()) return;
    if (first != 0) items.push_back({number, Decimal(first)});
    if (second != 0) items.push_back({total, Decimal(second)});
}

// A big-endian unsigned integer of the data's own width (1 to 8 bytes).
bool Integer(const ItemData& data, uint64_t& value) {
    if (data.value.empty() || data.value.size() > 8) return false;
    value = 0;
    for (uint8_t byte : data.value)
        value = value << 8 | byte;
    return true;
}

const char* TextItemName(uint32_t type) {
    switch (type) {
    case FourCc("\xA9nam"):
        return "title";
    case FourCc("\xA9"
                "ART"):
        return "artist";
    case FourCc("\xA9wrt"):
        return "writer";
    case FourCc("\xA9"
                "alb"):
        return "album";
    case FourCc("\xA9"
                "day"):
        return "date";
    case FourCc("\xA9too"):
        return "tool";
    case FourCc("\xA9"
                "cmt"):
        return "comment";
    case FourCc("\xA9gen"):
        return "genre";
    default:
        return nullptr;
    }
}

void ParseFreeForm(std::span<const uint8_t> item, std::vector<MetaItem>& items) {
    Box name;
    ItemData data;
    if (!BoxWalker::Find(item, FourCc("name"), name) || !FindData(item, data)) return;
    ByteReader reader(name.payload);
    reader.Skip(4); // version, flags
    if (!reader.Ok()) return;
    const ItemData nameData{1, reader.Rest()};
    const std::string key = Text(nameData);
    if (!key.empty()) items.push_back({key, Text(data)});
}

} // namespace

std::vector<MetaItem> ParseItemList(std::span<const uint8_t> ilst) {
    std::vector<MetaItem> items;
    BoxWalker walker(ilst);
    Box item;
    while (walker.Next(item)) {
        if (item.type == FourCc("----")) {
            ParseFreeForm(item.payload, items);
            continue;
        }
        ItemData data;
        if (!FindData(item.payload, data)) continue;
        uint64_t number = 0;
        if (const char* name = TextItemName(item.type)) {
            items.push_back({name, Text(data)});
        } else if (item.type == FourCc("gnre")) {
            // An ID3v1 genre number, counted from 1.
            if (Integer(data, number) && number >= 1 && number <= tags::kId3v1Genres.size())
                items.push_back({"genre", std::string(tags::kId3v1Genres[number - 1])});
        } else if (item.type == FourCc("trkn")) {
            AddPair(items, data, "track", "totaltracks");
        } else if (item.type == FourCc("disk")) {
            AddPair(items, data, "disc", "totaldiscs");
        } else if (item.type == FourCc("cpil")) {
            if (Integer(data, number)) items.push_back({"compilation", number ? "1" : "0"});
        } else if (item.type == FourCc("tmpo")) {
            if (Integer(data, number)) items.push_back({"tempo", Decimal(number)});
        } else if (item.type == FourCc("covr")) {
            if (!data.value.empty())
                items.push_back({"cover", std::string(data.value.begin(), data.value.end())});
        }
    }
    return items;
}

} // namespace mp4
