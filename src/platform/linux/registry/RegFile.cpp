#include "platform/linux/registry/RegFile.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdio>
#include <span>
#include <vector>

#include "platform/linux/registry/NoCaseLess.h"

namespace {

constexpr std::string_view HEADER = "REGEDIT4";
constexpr std::string_view BYTE_ORDER_MARK = "\xEF\xBB\xBF";
constexpr std::string_view DWORD_PREFIX = "dword:";
constexpr std::string_view HEX_PREFIX = "hex";
// Columns of a wrapped byte list, its continuation mark included, as regedit writes them.
constexpr std::size_t LINE_WIDTH = 80;
constexpr std::string_view CONTINUATION_INDENT = "  ";

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

// Without blanks around it, nor the CR of a CR LF line end.
std::string_view Trim(std::string_view s) {
    while (!s.empty() && IsBlank(s.front())) {
        s.remove_prefix(1);
    }
    while (!s.empty() && (IsBlank(s.back()) || s.back() == '\r')) {
        s.remove_suffix(1);
    }
    return s;
}

// Splits the next line off `rest` and counts it in `nLine`; false when nothing is left.
bool NextLine(std::string_view& rest, std::string_view& line, std::size_t& nLine) {
    if (rest.empty()) {
        return false;
    }
    const std::size_t end = rest.find('\n');
    line = rest.substr(0, end);
    rest.remove_prefix(end == std::string_view::npos ? rest.size() : end + 1);
    ++nLine;
    return true;
}

bool StartsWithNoCase(std::string_view s, std::string_view prefix) {
    return s.size() >= prefix.size() && CNoCaseLess::Equal(s.substr(0, prefix.size()), prefix);
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    const unsigned char folded = CNoCaseLess::Fold(c);
    return (folded >= 'a' && folded <= 'f') ? folded - 'a' + 10 : -1;
}

// One to `maxDigits` hex digits and nothing else.
std::optional<DWORD> ParseHexNumber(std::string_view s, std::size_t maxDigits) {
    if (s.empty() || s.size() > maxDigits) {
        return std::nullopt;
    }
    DWORD number = 0;
    for (const char c : s) {
        const int digit = HexDigit(c);
        if (digit < 0) {
            return std::nullopt;
        }
        number = (number << 4) | static_cast<DWORD>(digit);
    }
    return number;
}

// Reads the quoted string that starts at s[pos], undoing the \\ and \" escapes, and leaves
// `pos` after its closing quote. Other escapes, NUL and CR make it malformed.
bool ReadQuoted(std::string_view s, std::size_t& pos, std::string& text) {
    ++pos;
    while (pos < s.size()) {
        char c = s[pos++];
        if (c == '"') {
            return true;
        }
        if (c == '\\') {
            if (pos == s.size() || (s[pos] != '\\' && s[pos] != '"')) {
                return false;
            }
            c = s[pos++];
        } else if (c == '\0' || c == '\r') {
            return false;
        }
        text += c;
    }
    return false;
}

// Comma-separated bytes of one or two hex digits, blanks allowed around each; an empty
// list is no bytes.
bool ParseBytes(std::string_view s, std::vector<std::uint8_t>& bytes) {
    s = Trim(s);
    if (s.empty()) {
        return true;
    }
    bytes.reserve(s.size() / 3 + 1);
    for (;;) {
        const std::size_t comma = s.find(',');
        const std::optional<DWORD> byte = ParseHexNumber(Trim(s.substr(0, comma)), 2);
        if (!byte) {
            return false;
        }
        bytes.push_back(static_cast<std::uint8_t>(*byte));
        if (comma == std::string_view::npos) {
            return true;
        }
        s.remove_prefix(comma + 1);
    }
}

// A section line "[ROOT\key\...]": the key it names, with its missing levels added. Null,
// adding nothing, for a line that names no key.
CRegKeyNode* ParseKeyLine(CRegTree& tree, std::string_view line) {
    if (line.size() < 2 || line.back() != ']') {
        return nullptr;
    }
    std::string_view path = line.substr(1, line.size() - 2);
    std::size_t separator = path.find('\\');
    const HKEY hRoot = CRegTree::RootFromName(path.substr(0, separator));
    if (hRoot == HKEY_NONE) {
        return nullptr;
    }
    std::vector<std::string> names;
    while (separator != std::string_view::npos) {
        path.remove_prefix(separator + 1);
        separator = path.find('\\');
        const std::string_view name = path.substr(0, separator);
        if (!CRegTree::IsValidKeyName(name) || names.size() == CRegTree::MAX_KEY_DEPTH) {
            return nullptr;
        }
        names.emplace_back(name);
    }
    bool bAdded = false;
    return tree.Create(hRoot, names, bAdded);
}

// The data of a hex: or hex(N): value after its colon, continuation lines taken from `rest`
// and counted in `nLine`. A line that cannot go on a byte list (blank, a comment, a section, a
// value) ends the value as malformed and stays in `rest`, to be read on its own.
bool ParseHexData(std::string_view data, std::string_view& rest, std::size_t& nLine,
                  std::vector<std::uint8_t>& bytes) {
    if (data.empty() || data.back() != '\\') {
        return ParseBytes(data, bytes);
    }
    std::string joined(data);
    while (!joined.empty() && joined.back() == '\\') {
        joined.pop_back();
        std::string_view after = rest;
        std::string_view next;
        std::size_t nNext = nLine;
        if (!NextLine(after, next, nNext)) {
            return false;
        }
        next = Trim(next);
        if (next.empty() ||
            std::string_view(";[\"@").find(next.front()) != std::string_view::npos) {
            return false;
        }
        rest = after;
        nLine = nNext;
        joined += next;
    }
    return ParseBytes(joined, bytes);
}

// A value line ("name"=data or @=data) of `key`; `rest` gives its continuation lines, which
// `nLine` counts. False, changing nothing, when it cannot be read.
bool ParseValueLine(CRegKeyNode& key, std::string_view line, std::string_view& rest,
                    std::size_t& nLine) {
    std::string name;
    std::size_t pos = 1;
    if (line.front() == '"') {
        pos = 0;
        if (!ReadQuoted(line, pos, name)) {
            return false;
        }
    } else if (line.front() != '@') {
        return false;
    }
    std::string_view data = Trim(line.substr(pos));
    if (data.empty() || data.front() != '=') {
        return false;
    }
    data = Trim(data.substr(1));

    CRegValue value;
    if (!data.empty() && data.front() == '"') {
        std::string text;
        std::size_t end = 0;
        if (!ReadQuoted(data, end, text) || end != data.size()) {
            return false;
        }
        value.dwType = REG_SZ;
        value.data.assign(text.begin(), text.end());
        value.data.push_back(0);
    } else if (StartsWithNoCase(data, DWORD_PREFIX)) {
        const std::optional<DWORD> number = ParseHexNumber(data.substr(DWORD_PREFIX.size()), 8);
        if (!number) {
            return false;
        }
        value.dwType = REG_DWORD;
        for (int shift = 0; shift < 32; shift += 8) {
            value.data.push_back(static_cast<std::uint8_t>(*number >> shift));
        }
    } else if (StartsWithNoCase(data, HEX_PREFIX)) {
        data.remove_prefix(HEX_PREFIX.size());
        value.dwType = REG_BINARY;
        if (!data.empty() && data.front() == '(') {
            const std::size_t close = data.find(')');
            const std::optional<DWORD> type = close == std::string_view::npos
                                                  ? std::nullopt
                                                  : ParseHexNumber(data.substr(1, close - 1), 8);
            if (!type) {
                return false;
            }
            value.dwType = *type;
            data.remove_prefix(close + 1);
        }
        if (data.empty() || data.front() != ':' ||
            !ParseHexData(data.substr(1), rest, nLine, value.data)) {
            return false;
        }
    } else {
        return false;
    }
    key.SetValue(name, std::move(value));
    return true;
}

template <typename Range>
void AppendQuoted(std::string& out, const Range& text) {
    out += '"';
    for (const auto byte : text) {
        const auto c = static_cast<char>(byte);
        if (c == '\\' || c == '"') {
            out += '\\';
        }
        out += c;
    }
    out += '"';
}

bool IsValidUtf8(std::span<const std::uint8_t> text) {
    for (std::size_t i = 0; i < text.size();) {
        const std::uint8_t lead = text[i];
        std::size_t length = 1;
        std::uint8_t low = 0x80;
        std::uint8_t high = 0xBF;
        if (lead < 0x80) {
            ++i;
            continue;
        }
        if (lead >= 0xC2 && lead <= 0xDF) {
            length = 2;
        } else if (lead >= 0xE0 && lead <= 0xEF) {
            length = 3;
            low = lead == 0xE0 ? 0xA0 : 0x80;   // overlong forms
            high = lead == 0xED ? 0x9F : 0xBF;  // surrogates
        } else if (lead >= 0xF0 && lead <= 0xF4) {
            length = 4;
            low = lead == 0xF0 ? 0x90 : 0x80;   // overlong forms
            high = lead == 0xF4 ? 0x8F : 0xBF;  // beyond U+10FFFF
        } else {
            return false;
        }
        if (text.size() - i < length || text[i + 1] < low || text[i + 1] > high) {
            return false;
        }
        for (std::size_t k = 2; k < length; ++k) {
            if (text[i + k] < 0x80 || text[i + k] > 0xBF) {
                return false;
            }
        }
        i += length;
    }
    return true;
}

// Whether a value can be written as a quoted string: a REG_SZ of printable UTF-8 with
// exactly one terminating zero. Anything else goes as hex(1): so it comes back unchanged.
bool IsPlainString(const CRegValue& value) {
    if (value.dwType != REG_SZ || value.data.empty() || value.data.back() != 0) {
        return false;
    }
    const auto text = std::span(value.data).first(value.data.size() - 1);
    return std::none_of(text.begin(), text.end(),
                        [](std::uint8_t c) { return c < 0x20 || c == 0x7F; }) &&
           IsValidUtf8(text);
}

// Comma-separated hex bytes, wrapped regedit's way: a line that would pass LINE_WIDTH ends
// with '\' and the list goes on, indented, on the next.
void AppendHexBytes(std::string& out, std::size_t lineStart, std::span<const std::uint8_t> bytes) {
    static constexpr std::string_view DIGITS = "0123456789abcdef";
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        const bool bLast = i + 1 == bytes.size();
        const std::size_t pieceLength = bLast ? 2 : 3;
        const std::size_t lineLength = out.size() - lineStart;
        if (lineLength + pieceLength + 1 > LINE_WIDTH && lineLength > CONTINUATION_INDENT.size()) {
            out += "\\\n";
            lineStart = out.size();
            out += CONTINUATION_INDENT;
        }
        out += DIGITS[bytes[i] >> 4];
        out += DIGITS[bytes[i] & 0xF];
        if (!bLast) {
            out += ',';
        }
    }
}

void AppendValue(std::string& out, const std::string& name, const CRegValue& value) {
    const std::size_t lineStart = out.size();
    if (name.empty()) {
        out += '@';
    } else {
        AppendQuoted(out, name);
    }
    out += '=';
    std::array<char, 24> buffer{};
    if (IsPlainString(value)) {
        AppendQuoted(out, std::span(value.data).first(value.data.size() - 1));
    } else if (value.dwType == REG_DWORD && value.data.size() == sizeof(DWORD)) {
        const DWORD number = value.data[0] | (value.data[1] << 8) | (value.data[2] << 16) |
                             (static_cast<DWORD>(value.data[3]) << 24);
        std::snprintf(buffer.data(), buffer.size(), "dword:%08x", number);
        out += buffer.data();
    } else {
        if (value.dwType == REG_BINARY) {
            out += "hex:";
        } else {
            std::snprintf(buffer.data(), buffer.size(), "hex(%x):", value.dwType);
            out += buffer.data();
        }
        AppendHexBytes(out, lineStart, value.data);
    }
    out += '\n';
}

// The section of `key` when it needs one, then those of its subkeys. `path` holds the key's
// full name and `names` its levels below the root; both are restored on return.
void AppendKey(std::string& out, HKEY hRoot, std::string& path,
               std::vector<std::string_view>& names, const CRegKeyNode& key) {
    if (!key.Values().empty() || (key.SubKeys().empty() && !CRegTree::IsBuiltIn(hRoot, names))) {
        out += '[';
        out += path;
        out += "]\n";
        for (const auto& [name, value] : key.Values()) {
            AppendValue(out, name, value);
        }
        out += '\n';
    }
    for (const auto& [name, pSubKey] : key.SubKeys()) {
        const std::size_t length = path.size();
        path += '\\';
        path += name;
        names.push_back(name);
        AppendKey(out, hRoot, path, names, *pSubKey);
        names.pop_back();
        path.resize(length);
    }
}

}  // namespace

std::optional<CRegTree> CRegFile::Parse(std::string_view text, std::vector<CSkipped>* pSkipped) {
    if (text.starts_with(BYTE_ORDER_MARK)) {
        text.remove_prefix(BYTE_ORDER_MARK.size());
    }
    CRegTree tree;
    std::string_view line;
    std::size_t nLine = 0;
    if (!NextLine(text, line, nLine)) {
        return tree;
    }
    if (Trim(line) != HEADER) {
        return std::nullopt;
    }
    // Null before the first section and after one that cannot be read: such values have no
    // key to go to.
    CRegKeyNode* pKey = nullptr;
    while (NextLine(text, line, nLine)) {
        const std::size_t nFirst = nLine;
        line = Trim(line);
        if (line.empty() || line.front() == ';') {
            continue;
        }
        bool bRead = false;
        if (line.front() == '[') {
            pKey = ParseKeyLine(tree, line);
            bRead = pKey != nullptr;
        } else {
            bRead = pKey != nullptr && ParseValueLine(*pKey, line, text, nLine);
        }
        if (!bRead && pSkipped != nullptr) {
            pSkipped->push_back({nFirst, nLine - nFirst + 1});
        }
    }
    return tree;
}

std::string CRegFile::Format(const CRegTree& tree) {
    std::string out(HEADER);
    out += "\n\n";
    std::vector<std::string_view> names;
    for (const HKEY hRoot : CRegTree::Roots()) {
        std::string path(CRegTree::RootName(hRoot));
        AppendKey(out, hRoot, path, names, *tree.Root(hRoot));
    }
    return out;
}
