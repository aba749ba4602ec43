// The tag model shared by every source and sink: a fixed set of named fields with variant values,
// looked up without regard to letter case. Each tag family derives from TAuTags and registers
// its own field names in its constructor.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <type_traits>
#include <utility>
#include <variant>
#include <vector>

// One field value: null, an integer (every width is held as int64_t), a narrow string (UTF-8)
// or a wide string (UTF-16). Two values are equal when they are of the same kind and hold the
// same value, so the narrow "1" differs from the wide "1" and from the integer 1.
class TTagValue {
public:
    enum class Kind { Null, Integer, String, WideString };

    TTagValue() = default;
    template <typename Int>
    requires std::is_integral_v<Int> &&(!std::is_same_v<Int, bool>)explicit TTagValue(Int value)
        : value_(static_cast<int64_t>(value)) {}
    explicit TTagValue(std::string value) : value_(std::move(value)) {}
    explicit TTagValue(const char* value) : value_(std::string(value)) {}
    explicit TTagValue(std::u16string value) : value_(std::move(value)) {}
    explicit TTagValue(const char16_t* value) : value_(std::u16string(value)) {}

    Kind GetKind() const { return static_cast<Kind>(value_.index()); }
    bool IsNull() const { return GetKind() == Kind::Null; }
    bool IsInteger() const { return GetKind() == Kind::Integer; }
    bool IsString() const { return GetKind() == Kind::String; }
    bool IsWideString() const { return GetKind() == Kind::WideString; }
    // Either string kind.
    bool IsText() const { return IsString() || IsWideString(); }

    // The held value; a default (0 or empty) when the kind differs.
    int64_t Integer() const;
    const std::string& String() const;
    const std::u16string& WideString() const;

    bool operator==(const TTagValue&) const = default;

private:
    std::variant<std::monostate, int64_t, std::string, std::u16string> value_;
};

class TAuTags {
public:
    TAuTags() = default;
    // Tag objects are owned by their component; values move between them with Assign.
    TAuTags(const TAuTags&) = delete;
    TAuTags& operator=(const TAuTags&) = delete;
    virtual ~TAuTags() = default;

    // True after construction and Clear, false after the first SetField that changed a value.
    bool Empty() const { return empty_; }
    // Set by every changing SetField and by Clear; never reset.
    bool Changed() const { return changed_; }

    int FieldCount() const { return static_cast<int>(fields_.size()); }
    // Name at index in case-insensitive sorted order; empty when out of range.
    std::string FieldName(int index) const;
    // A copy of the value; null for a name the object lacks.
    TTagValue GetField(std::string_view name) const;
    // Ignores names the object lacks and values equal to the stored one.
    void SetField(std::string_view name, const TTagValue& value);

    // Integer value, or a string parsed as a decimal integer; 0 otherwise.
    int64_t AsInteger(std::string_view name) const;
    // UTF-8 text of a string or the decimal text of an integer; empty otherwise.
    std::string AsString(std::string_view name) const;
    // UTF-16 text of a string or the decimal text of an integer; empty otherwise.
    std::u16string AsWideString(std::string_view name) const;

    // Every value becomes null; sets Empty and Changed.
    void Clear();
    // Clear, then copies every field of source that this family also has, matched by name.
    virtual void Assign(const TAuTags& source);
    // The same copy in the other direction: dest.Assign(*this).
    virtual void AssignTo(TAuTags& dest) const;

    // The file is an open descriptor (-1 is invalid) whose position belongs to the caller.
    // Base behaviour: probing and writing succeed for a valid descriptor; reading clears.
    virtual bool ProbeFile(int fd);
    virtual bool ReadFromFile(int fd);
    virtual bool WriteToFile(int fd);

protected:
    // For constructors: registers name with a copy of value unless the name is empty or already
    // present (the first registration wins); returns whether the name was non-empty.
    bool AddField(std::string_view name, const TTagValue& value);

    // Property helpers: read with AsString/AsWideString, write a narrow or a wide value.
    std::string GetNarrow(std::string_view name) const { return AsString(name); }
    std::string GetWide(std::string_view name) const;
    void SetNarrow(std::string_view name, std::string_view utf8);
    void SetWide(std::string_view name, std::string_view utf8);

private:
    using Entry = std::pair<std::string, TTagValue>;
    const Entry* Find(std::string_view name) const;
    Entry* Find(std::string_view name);

    std::vector<Entry> fields_; // sorted by name, case-insensitive
    bool empty_ = true;
    bool changed_ = false;
};
