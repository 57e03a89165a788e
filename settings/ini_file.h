#pragma once

// The settings file's format outside Windows: the INI dialect of Qt's QSettings, which
// earlier versions of the program wrote its settings in, read and written here the same
// way, byte for byte, so that a file stays the same whichever version wrote it last. Pure:
// bytes in, bytes out.
//
// The dialect in short. Lines "key=value" under "[section]" headers; the keys before any
// header and those under "[General]" are the top level, written under "[General]"; a line
// starting with ";" is a comment, and ";" outside quotes ends a value. Keys and section names
// escape what is not an ASCII letter or digit, "_", "-" or "." as %XX or %UXXXX, and "/" as
// "\". A value is unescaped C-style (\n, \t, \", \\, \xHH..., octal), spaces around it are
// dropped unless quoted, and it is a list when it holds a comma outside quotes. A text that
// starts with "@" is written with a second "@"; "@ByteArray(...)", "@Invalid()" and a few
// more name values of other types. Writing drops comments and lines without "=", sorts
// the sections by name, the top level first, and the keys within each.

#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace qv::ini {

// A value as the file holds it, unescaped: one text, or the items of a list. Texts keep
// their type marks ("@@...", "@ByteArray(...)"), so that they are written back as read.
struct Value {
    std::vector<std::u16string> items;
    bool isList = false;
    bool operator==(const Value&) const = default;
};

// Full keys: "key" at the top level, "section/key" below it. UTF-16, so that they sort
// as the written file sorts them.
using Entries = std::map<std::u16string, Value>;

struct Parsed {
    Entries entries;
    // False when a "[" line has no "]": the file is not a settings file, and nothing in
    // it is trusted.
    bool fileOk = true;
    // False when a line under a section has no "=" (it is dropped).
    bool linesOk = true;
};

Parsed parse(std::string_view bytes);
std::string serialize(const Entries& entries);

// Sets `fullKey` (UTF-8) to `value`.
void set(Entries& entries, std::string_view fullKey, Value value);
const Value* find(const Entries& entries, std::string_view fullKey);

// The value a text (UTF-8) or an integer is stored as.
Value textValue(std::string_view utf8);
Value integerValue(long long number);

// The value read as a text (UTF-8): nothing for a list or a value of another type.
std::optional<std::string> asText(const Value& value);
// The value read as an integer: an optional sign and decimal digits, white space around
// them ignored; nothing for anything else, for a number beyond 64 bits, a list, or a
// value of a type other than text or bytes.
std::optional<long long> asInteger(const Value& value);

} // namespace qv::ini
