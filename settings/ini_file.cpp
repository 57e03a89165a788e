#include "settings/ini_file.h"

#include <algorithm>
#include <charconv>
#include <cstdint>

namespace qv::ini {
namespace {

constexpr char16_t kReplacement = 0xFFFD;

// UTF-8 to UTF-16; each byte of a malformed sequence becomes U+FFFD.
std::u16string fromUtf8(std::string_view bytes) {
    std::u16string out;
    out.reserve(bytes.size());
    for (std::size_t i = 0; i < bytes.size();) {
        const auto b = static_cast<unsigned char>(bytes[i]);
        int extra = b < 0x80             ? 0
                    : (b & 0xE0) == 0xC0 ? 1
                    : (b & 0xF0) == 0xE0 ? 2
                    : (b & 0xF8) == 0xF0 ? 3
                                         : -1;
        char32_t code = extra == 0 ? b : extra == 1 ? b & 0x1F : extra == 2 ? b & 0x0F : b & 0x07;
        bool valid = extra >= 0 && i + static_cast<std::size_t>(extra) < bytes.size();
        for (int k = 1; valid && k <= extra; ++k) {
            const auto c = static_cast<unsigned char>(bytes[i + static_cast<std::size_t>(k)]);
            valid = (c & 0xC0) == 0x80;
            code = (code << 6) | (c & 0x3F);
        }
        constexpr char32_t kSmallest[] = {0, 0x80, 0x800, 0x10000};
        valid = valid && code >= kSmallest[extra] && code <= 0x10FFFF &&
                (code < 0xD800 || code > 0xDFFF);
        if (!valid) {
            out += kReplacement;
            ++i;
            continue;
        }
        if (code >= 0x10000) {
            code -= 0x10000;
            out += static_cast<char16_t>(0xD800 + (code >> 10));
            out += static_cast<char16_t>(0xDC00 + (code & 0x3FF));
        } else {
            out += static_cast<char16_t>(code);
        }
        i += static_cast<std::size_t>(extra) + 1;
    }
    return out;
}

void appendUtf8(std::string& out, char32_t code) {
    if (code < 0x80) {
        out += static_cast<char>(code);
    } else if (code < 0x800) {
        out += static_cast<char>(0xC0 | (code >> 6));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
        out += static_cast<char>(0xE0 | (code >> 12));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (code >> 18));
        out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    }
}

// The length of an unfinished UTF-8 sequence at the end of `bytes` (0 when none): a lead
// byte followed by fewer continuation bytes than it announces.
std::size_t unfinishedTail(std::string_view bytes) {
    for (std::size_t back = 1; back <= 3 && back <= bytes.size(); ++back) {
        const auto b = static_cast<unsigned char>(bytes[bytes.size() - back]);
        if ((b & 0xC0) == 0x80)
            continue;
        const std::size_t needs = (b & 0xE0) == 0xC0   ? 2
                                  : (b & 0xF0) == 0xE0 ? 3
                                  : (b & 0xF8) == 0xF0 ? 4
                                                       : 0;
        return needs > back ? back : 0;
    }
    return 0;
}

bool isHighSurrogate(char16_t c) {
    return c >= 0xD800 && c <= 0xDBFF;
}
bool isLowSurrogate(char16_t c) {
    return c >= 0xDC00 && c <= 0xDFFF;
}

// UTF-16 to UTF-8; a surrogate without its partner becomes U+FFFD.
std::string toUtf8(std::u16string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char16_t c = text[i];
        if (isHighSurrogate(c) && i + 1 < text.size() && isLowSurrogate(text[i + 1])) {
            appendUtf8(out, 0x10000 + ((char32_t{c} - 0xD800) << 10) + (text[i + 1] - 0xDC00));
            ++i;
        } else {
            appendUtf8(out, isHighSurrogate(c) || isLowSurrogate(c) ? kReplacement : c);
        }
    }
    return out;
}

bool startsWith(std::u16string_view text, std::u16string_view prefix) {
    return text.substr(0, prefix.size()) == prefix;
}

bool isAsciiSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

std::string_view trimmed(std::string_view text) {
    while (!text.empty() && isAsciiSpace(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && isAsciiSpace(text.back()))
        text.remove_suffix(1);
    return text;
}

int hexValue(char16_t c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

constexpr char kHexDigits[] = "0123456789ABCDEF";

// --- Keys and section names ---

std::u16string unescapeKey(std::string_view bytes) {
    const std::u16string decoded = fromUtf8(bytes);
    std::u16string out;
    const std::size_t size = decoded.size();
    for (std::size_t i = 0; i < size;) {
        const char16_t c = decoded[i];
        if (c == '\\') {
            out += u'/';
            ++i;
            continue;
        }
        if (c != '%' || i == size - 1) {
            out += c;
            ++i;
            continue;
        }
        std::size_t first = i + 1;
        std::size_t digits = 2;
        if (decoded[first] == 'U') {
            ++first;
            digits = 4;
        }
        unsigned value = 0;
        bool ok = first + digits <= size;
        for (std::size_t k = 0; ok && k < digits; ++k) {
            const int v = hexValue(decoded[first + k]);
            ok = v >= 0;
            value = value * 16 + static_cast<unsigned>(v);
        }
        if (!ok) {
            out += u'%';
            ++i;
            continue;
        }
        out += static_cast<char16_t>(value);
        i = first + digits;
    }
    return out;
}

std::string escapeKey(std::u16string_view key) {
    std::string out;
    for (char16_t c : key) {
        if (c == '/') {
            out += '\\';
        } else if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                   c == '_' || c == '-' || c == '.') {
            out += static_cast<char>(c);
        } else if (c <= 0xFF) {
            out += '%';
            out += kHexDigits[c / 16];
            out += kHexDigits[c % 16];
        } else {
            out += "%U";
            for (int shift = 12; shift >= 0; shift -= 4)
                out += kHexDigits[(c >> shift) & 0xF];
        }
    }
    return out;
}

// --- Values ---

void chopTrailingSpaces(std::u16string& text, std::size_t limit) {
    while (text.size() > limit && (text.back() == ' ' || text.back() == '\t'))
        text.pop_back();
}

// The value after "=": unescaped into `text`, or into `list` when a comma outside quotes
// makes it one (returns true then).
bool unescapeValue(std::string_view str, std::u16string& text, std::vector<std::u16string>& list) {
    static constexpr char kEscapes[][2] = {{'a', '\a'}, {'b', '\b'},  {'f', '\f'}, {'n', '\n'},
                                           {'r', '\r'}, {'t', '\t'},  {'v', '\v'}, {'"', '"'},
                                           {'?', '?'},  {'\'', '\''}, {'\\', '\\'}};
    const std::size_t n = str.size();
    bool isList = false;
    bool inQuotes = false;
    bool quoted = false;
    std::size_t i = 0;
    const auto skipSpaces = [&] {
        while (i < n && (str[i] == ' ' || str[i] == '\t'))
            ++i;
    };
    skipSpaces();
    std::size_t chopLimit = text.size();
    bool chopAtEnd = true; // an escape cut short by the end leaves trailing spaces alone
    // The raw text is decoded as one stream: a sequence broken by an escape goes on in
    // the next run of raw text; one unfinished at the end is dropped.
    std::string unfinished;
    while (i < n) {
        const char c = str[i];
        if (c == '\\') {
            if (++i >= n) {
                chopAtEnd = false;
                break;
            }
            const char e = str[i++];
            const auto* known = std::find_if(std::begin(kEscapes), std::end(kEscapes),
                                             [e](const char(&pair)[2]) { return pair[0] == e; });
            const bool hex = e == 'x' && i < n && hexValue(static_cast<char16_t>(str[i])) >= 0;
            if (known != std::end(kEscapes)) {
                text += static_cast<char16_t>((*known)[1]);
            } else if (e == 'x' && i >= n) {
                chopAtEnd = false;
                break;
            } else if (hex || (e >= '0' && e <= '7')) {
                // Any number of digits, kept to 16 bits as they come.
                char16_t value = hex ? 0 : static_cast<char16_t>(e - '0');
                const unsigned base = hex ? 16 : 8;
                for (; i < n; ++i) {
                    const int digit = hexValue(static_cast<char16_t>(str[i]));
                    if (digit < 0 || digit >= static_cast<int>(base))
                        break;
                    value = static_cast<char16_t>(value * base + static_cast<unsigned>(digit));
                }
                text += value;
                if (i >= n) {
                    chopAtEnd = false;
                    break;
                }
            } else if (e == '\n' || e == '\r') {
                // A line continued: \n, \r, \r\n and \n\r each end the line.
                if (i < n && (str[i] == '\n' || str[i] == '\r') && str[i] != e)
                    ++i;
            }
            // Any other escaped character is dropped.
            chopLimit = text.size();
        } else if (c == '"') {
            ++i;
            quoted = true;
            inQuotes = !inQuotes;
            if (!inQuotes) {
                skipSpaces();
                chopLimit = text.size();
            }
        } else if (c == ',' && !inQuotes) {
            if (!quoted)
                chopTrailingSpaces(text, chopLimit);
            isList = true;
            list.push_back(std::move(text));
            text.clear();
            quoted = false;
            ++i;
            skipSpaces();
            chopLimit = 0;
        } else {
            std::size_t j = i + 1;
            while (j < n && str[j] != '\\' && str[j] != '"' && str[j] != ',')
                ++j;
            unfinished.append(str.substr(i, j - i));
            const std::size_t tail = unfinishedTail(unfinished);
            text += fromUtf8(std::string_view(unfinished).substr(0, unfinished.size() - tail));
            unfinished.erase(0, unfinished.size() - tail);
            i = j;
        }
    }
    if (chopAtEnd && !quoted)
        chopTrailingSpaces(text, chopLimit);
    if (isList)
        list.push_back(std::move(text));
    return isList;
}

// What a stored text is, read as QSettings reads it.
enum class Kind { Text, Bytes, Invalid, Other };

struct Typed {
    Kind kind;
    std::u16string content; // the text itself, or the bytes as Latin-1; else the stored form
};

Typed typeOf(const std::u16string& stored) {
    if (startsWith(stored, u"@")) {
        if (stored.back() == u')') {
            if (startsWith(stored, u"@ByteArray("))
                return {Kind::Bytes, stored.substr(11, stored.size() - 12)};
            if (startsWith(stored, u"@String("))
                return {Kind::Text, stored.substr(8, stored.size() - 9)};
            for (const char16_t* other :
                 {u"@Variant(", u"@DateTime(", u"@Rect(", u"@Size(", u"@Point("})
                if (startsWith(stored, other))
                    return {Kind::Other, stored};
            if (stored == u"@Invalid()")
                return {Kind::Invalid, stored};
        }
        if (startsWith(stored, u"@@"))
            return {Kind::Text, stored.substr(1)};
    }
    return {Kind::Text, stored};
}

// How a value of that type is written (before escaping).
std::u16string storedForm(const Typed& typed) {
    switch (typed.kind) {
    case Kind::Text:
        if (typed.content.find(u'\0') != std::u16string::npos)
            return u"@String(" + typed.content + u")";
        return startsWith(typed.content, u"@") ? u"@" + typed.content : typed.content;
    case Kind::Bytes: {
        std::u16string latin1 = typed.content;
        std::replace_if(
            latin1.begin(), latin1.end(), [](char16_t c) { return c > 0xFF; }, u'?');
        return u"@ByteArray(" + latin1 + u")";
    }
    case Kind::Invalid:
        return u"@Invalid()";
    case Kind::Other:
        break;
    }
    return typed.content;
}

void appendEscaped(std::string& out, const std::u16string& text) {
    const bool asUtf8 = !(startsWith(text, u"@ByteArray(") || startsWith(text, u"@Variant("));
    const std::size_t start = out.size();
    bool needsQuotes = false;
    bool escapeNextIfHexDigit = false;
    const auto hexEscape = [&out](char16_t c) {
        char digits[8];
        const auto end = std::to_chars(digits, digits + sizeof digits, unsigned{c}, 16).ptr;
        out += "\\x";
        out.append(digits, end);
    };
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char16_t c = text[i];
        if (c == ';' || c == ',' || c == '=')
            needsQuotes = true;
        // A digit right after a numeric escape would extend it.
        if (escapeNextIfHexDigit && hexValue(c) >= 0) {
            hexEscape(c);
            continue;
        }
        escapeNextIfHexDigit = false;
        switch (c) {
        case '\0':
            out += "\\0";
            escapeNextIfHexDigit = true;
            break;
        case '\a':
            out += "\\a";
            break;
        case '\b':
            out += "\\b";
            break;
        case '\f':
            out += "\\f";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        case '\t':
            out += "\\t";
            break;
        case '\v':
            out += "\\v";
            break;
        case '"':
        case '\\':
            out += '\\';
            out += static_cast<char>(c);
            break;
        default:
            if (c <= 0x1F || (c >= 0x7F && !asUtf8)) {
                hexEscape(c);
                escapeNextIfHexDigit = true;
            } else if (asUtf8 && isHighSurrogate(c) && i + 1 < text.size() &&
                       isLowSurrogate(text[i + 1])) {
                out += toUtf8(text.substr(i, 2));
                ++i;
            } else if (asUtf8) {
                out += toUtf8(std::u16string_view(&text[i], 1));
            } else {
                out += static_cast<char>(c);
            }
        }
    }
    if (needsQuotes || (out.size() > start && (out[start] == ' ' || out.back() == ' '))) {
        out.insert(start, 1, '"');
        out += '"';
    }
}

// --- Lines ---

bool isLineSpace(char c) {
    return c == '\t' || c == '\n' || c == '\r' || c == ' ';
}
bool isSpecial(char c) {
    return c == '\n' || c == '\r' || c == '"' || c == ';' || c == '=' || c == '\\';
}

struct Line {
    std::string_view text;
    std::size_t equals = std::string_view::npos; // within text
};

// The next line from `pos`: comments and blank lines skipped, a quoted value may run over
// line ends, a backslash keeps the next character (a line end too) in the line, ";"
// outside quotes ends it. False at the end of the data.
bool nextLine(std::string_view data, std::size_t& pos, Line& line) {
    const std::size_t n = data.size();
    bool inQuotes = false;
    std::size_t equals = std::string_view::npos;
    std::size_t start = pos;
    while (start < n && isLineSpace(data[start]))
        ++start;
    std::size_t i = start;
    while (i < n) {
        char c = data[i];
        while (!isSpecial(c)) {
            if (++i == n)
                goto end;
            c = data[i];
        }
        ++i;
        if (c == '=') {
            if (!inQuotes && equals == std::string_view::npos)
                equals = i - 1;
        } else if (c == '\n' || c == '\r') {
            if (i == start + 1) {
                ++start;
            } else if (!inQuotes) {
                --i;
                goto end;
            }
        } else if (c == '\\') {
            if (i < n) {
                const char escaped = data[i++];
                if (i < n) {
                    const char next = data[i];
                    if ((escaped == '\n' && next == '\r') || (escaped == '\r' && next == '\n'))
                        ++i;
                }
            }
        } else if (c == '"') {
            inQuotes = !inQuotes;
        } else { // ';'
            if (i == start + 1) {
                while (i < n && data[i] != '\n' && data[i] != '\r')
                    ++i;
                while (i < n && isLineSpace(data[i]))
                    ++i;
                start = i;
            } else if (!inQuotes) {
                --i;
                goto end;
            }
        }
    }
end:
    pos = i;
    line.text = data.substr(start, i - start);
    line.equals = equals == std::string_view::npos ? equals : equals - start;
    return i > start;
}

bool equalsIgnoringCase(std::string_view text, std::string_view lower) {
    return std::equal(text.begin(), text.end(), lower.begin(), lower.end(), [](char a, char b) {
        return (a >= 'A' && a <= 'Z' ? static_cast<char>(a - 'A' + 'a') : a) == b;
    });
}

} // namespace

Parsed parse(std::string_view bytes) {
    Parsed parsed;
    // The lines of each section, by name ("" the top level, else the name and "/"); a
    // section that comes again adds to the first.
    std::map<std::u16string, std::vector<Line>> sections;
    std::u16string current;
    std::size_t pos = 0;
    for (Line line; nextLine(bytes, pos, line);) {
        if (!line.text.starts_with('[')) {
            sections[current].push_back(line);
            continue;
        }
        std::size_t close = line.text.find(']');
        if (close == std::string_view::npos) {
            parsed.fileOk = false;
            close = line.text.size();
        }
        const std::string_view name = trimmed(line.text.substr(1, close - 1));
        if (equalsIgnoringCase(name, "general")) {
            current.clear();
        } else {
            current =
                equalsIgnoringCase(name, "%general") ? fromUtf8(name.substr(1)) : unescapeKey(name);
            current += u'/';
        }
    }
    // A key given twice takes the later value.
    for (const auto& [name, lines] : sections) {
        for (const Line& line : lines) {
            if (line.equals == std::string_view::npos) {
                parsed.linesOk = parsed.linesOk && line.text.starts_with(';');
                continue;
            }
            Value& value =
                parsed.entries[name + unescapeKey(trimmed(line.text.substr(0, line.equals)))];
            value = {};
            std::u16string text;
            value.isList = unescapeValue(line.text.substr(line.equals + 1), text, value.items);
            if (!value.isList)
                value.items.push_back(std::move(text));
        }
    }
    return parsed;
}

std::string serialize(const Entries& entries) {
    // Sections by name, the top level ("") first; keys sorted within each.
    std::map<std::u16string, std::map<std::u16string, const Value*>> sections;
    for (const auto& [fullKey, value] : entries) {
        const std::size_t slash = fullKey.find(u'/');
        if (slash == std::u16string::npos)
            sections[u""][fullKey] = &value;
        else
            sections[fullKey.substr(0, slash)][fullKey.substr(slash + 1)] = &value;
    }
    std::string out;
    for (const auto& [name, keys] : sections) {
        std::string header = escapeKey(name);
        if (header.empty())
            header = "[General]";
        else if (equalsIgnoringCase(header, "general"))
            header = "[%General]";
        else
            header = "[" + header + "]";
        if (!out.empty())
            out += '\n';
        out += header + "\n";
        for (const auto& [key, value] : keys) {
            out += escapeKey(key) + "=";
            for (std::size_t i = 0; i < value->items.size(); ++i) {
                if (i != 0)
                    out += ", ";
                appendEscaped(out, storedForm(typeOf(value->items[i])));
            }
            out += '\n';
        }
    }
    return out;
}

void set(Entries& entries, std::string_view fullKey, Value value) {
    entries[fromUtf8(fullKey)] = std::move(value);
}

const Value* find(const Entries& entries, std::string_view fullKey) {
    const auto it = entries.find(fromUtf8(fullKey));
    return it == entries.end() ? nullptr : &it->second;
}

Value textValue(std::string_view utf8) {
    return {{storedForm({Kind::Text, fromUtf8(utf8)})}};
}

Value integerValue(long long number) {
    const std::string digits = std::to_string(number);
    return {{std::u16string(digits.begin(), digits.end())}};
}

std::optional<std::string> asText(const Value& value) {
    if (value.isList || value.items.size() != 1)
        return std::nullopt;
    const Typed typed = typeOf(value.items.front());
    if (typed.kind != Kind::Text)
        return std::nullopt;
    return toUtf8(typed.content);
}

std::optional<long long> asInteger(const Value& value) {
    if (value.isList || value.items.size() != 1)
        return std::nullopt;
    const Typed typed = typeOf(value.items.front());
    if (typed.kind != Kind::Text && typed.kind != Kind::Bytes)
        return std::nullopt;
    // The text ends at a NUL, as the conversion reads it; ASCII white space around the
    // number is skipped.
    const auto isSpace = [](char16_t c) { return (c >= 0x09 && c <= 0x0D) || c == ' '; };
    std::u16string_view text = typed.content;
    text = text.substr(0, text.find(u'\0'));
    while (!text.empty() && isSpace(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && isSpace(text.back()))
        text.remove_suffix(1);
    std::string ascii;
    for (char16_t c : text) {
        if (c > 0x7F)
            return std::nullopt;
        ascii += static_cast<char>(c);
    }
    const char* first = ascii.data();
    const char* last = ascii.data() + ascii.size();
    if (first != last && *first == '+')
        ++first;
    long long number = 0;
    const auto [end, error] = std::from_chars(first, last, number);
    if (error != std::errc{} || end != last || first == last || (*first == '-' && ascii[0] == '+'))
        return std::nullopt;
    return number;
}

} // namespace qv::ini
