// The tag model: value table, conversions between value kinds, copying between families.
#include "tags/au_tags.h"

#include "tags/ascii_text.h"
#include "tags/text_encoding.h"

#include <algorithm>
#include <charconv>

namespace {

const std::string kEmptyString;
const std::u16string kEmptyWideString;

// Decimal text with an optional sign and leading blanks, nothing after the digits.
int64_t ParseDecimal(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t'))
        text.remove_prefix(1);
    if (!text.empty() && text.front() == '+') text.remove_prefix(1);
    int64_t result = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), result);
    if (error != std::errc() || end != text.data() + text.size()) return 0;
    return result;
}

bool NameLess(const std::pair<std::string, TTagValue>& entry, std::string_view name) {
    return tags::CompareNoCase(entry.first, name) < 0;
}

} // namespace

int64_t TTagValue::Integer() const {
    const auto* value = std::get_if<int64_t>(&value_);
    return value ? *value : 0;
}

const std::string& TTagValue::String() const {
    const auto* value = std::get_if<std::string>(&value_);
    return value ? *value : kEmptyString;
}

const std::u16string& TTagValue::WideString() const {
    const auto* value = std::get_if<std::u16string>(&value_);
    return value ? *value : kEmptyWideString;
}

const TAuTags::Entry* TAuTags::Find(std::string_view name) const {
    const auto it = std::lower_bound(fields_.begin(), fields_.end(), name, NameLess);
    if (it == fields_.end() || !tags::EqualsNoCase(it->first, name)) return nullptr;
    return &*it;
}

TAuTags::Entry* TAuTags::Find(std::string_view name) {
    return const_cast<Entry*>(std::as_const(*this).Find(name));
}

std::string TAuTags::FieldName(int index) const {
    if (index < 0 || index >= FieldCount()) return {};
    return fields_[static_cast<size_t>(index)].first;
}

TTagValue TAuTags::GetField(std::string_view name) const {
    const Entry* entry = Find(name);
    return entry ? entry->second : TTagValue();
}

void TAuTags::SetField(std::string_view name, const TTagValue& value) {
    Entry* entry = Find(name);
    if (!entry || entry->second == value) return;
    entry->second = value;
    empty_ = false;
    changed_ = true;
}

int64_t TAuTags::AsInteger(std::string_view name) const {
    const Entry* entry = Find(name);
    if (!entry) return 0;
    const TTagValue& value = entry->second;
    switch (value.GetKind()) {
    case TTagValue::Kind::Integer:
        return value.Integer();
    case TTagValue::Kind::String:
        return ParseDecimal(value.String());
    case TTagValue::Kind::WideString:
        return ParseDecimal(tags::Utf16ToUtf8(value.WideString()));
    case TTagValue::Kind::Null:
        break;
    }
    return 0;
}

std::string TAuTags::AsString(std::string_view name) const {
    const Entry* entry = Find(name);
    if (!entry) return {};
    const TTagValue& value = entry->second;
    switch (value.GetKind()) {
    case TTagValue::Kind::Integer:
        return std::to_string(value.Integer());
    case TTagValue::Kind::String:
        return value.String();
    case TTagValue::Kind::WideString:
        return tags::Utf16ToUtf8(value.WideString());
    case TTagValue::Kind::Null:
        break;
    }
    return {};
}

std::u16string TAuTags::AsWideString(std::string_view name) const {
    const Entry* entry = Find(name);
    if (!entry) return {};
    const TTagValue& value = entry->second;
    switch (value.GetKind()) {
    case TTagValue::Kind::Integer:
        return tags::Utf8ToUtf16(std::to_string(value.Integer()));
    case TTagValue::Kind::String:
        return tags::Utf8ToUtf16(value.String());
    case TTagValue::Kind::WideString:
        return value.WideString();
    case TTagValue::Kind::Null:
        break;
    }
    return {};
}

bool TAuTags::AddField(std::string_view name, const TTagValue& value) {
    if (name.empty()) return false;
    const auto it = std::lower_bound(fields_.begin(), fields_.end(), name, NameLess);
    if (it == fields_.end() || !tags::EqualsNoCase(it->first, name))
        fields_.emplace(it, std::string(name), value);
    return true;
}

void TAuTags::Clear() {
    for (Entry& entry : fields_)
        entry.second = TTagValue();
    empty_ = true;
    changed_ = true;
}

void TAuTags::Assign(const TAuTags& source) {
    // Clearing first would wipe the very values about to be copied.
    if (&source == this) return;
    Clear();
    for (const Entry& entry : source.fields_)
        SetField(entry.first, entry.second);
}

void TAuTags::AssignTo(TAuTags& dest) const {
    dest.Assign(*this);
}

bool TAuTags::ProbeFile(int fd) {
    return fd >= 0;
}

bool TAuTags::ReadFromFile(int fd) {
    if (fd < 0) return false;
    Clear();
    return true;
}

bool TAuTags::WriteToFile(int fd) {
    return fd >= 0;
}

std::string TAuTags::GetWide(std::string_view name) const {
    return tags::Utf16ToUtf8(AsWideString(name));
}

void TAuTags::SetNarrow(std::string_view name, std::string_view utf8) {
    SetField(name, TTagValue(std::string(utf8)));
}

void TAuTags::SetWide(std::string_view name, std::string_view utf8) {
    SetField(name, TTagValue(tags::Utf8ToUtf16(utf8)));
}
