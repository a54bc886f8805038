#include "core/Unicode.h"

#include <cstdint>

namespace glance {
namespace {

constexpr char32_t kReplacement = 0xFFFD;
// What nextCodePoint gives for a lone surrogate: beyond any code point.
constexpr char32_t kLoneSurrogate = 0x110000;

// The code point at utf16[i], with i moved past it.
char32_t nextCodePoint(std::u16string_view utf16, std::size_t& i) {
    const char32_t c = utf16[i++];
    if (c < 0xD800 || c > 0xDFFF) return c;
    if (c <= 0xDBFF && i < utf16.size() && utf16[i] >= 0xDC00 && utf16[i] <= 0xDFFF)
        return 0x10000 + ((c - 0xD800) << 10) + (utf16[i++] - 0xDC00);
    return kLoneSurrogate;
}

// The well-formed sequence at the front of text, as decodeUtf8 returns it;
// when there is none, subpart is the length of the longest start of one (at
// least 1), the bytes that one replacement character stands for.
std::size_t decode(std::string_view text, char32_t& codePoint, std::size_t& subpart) {
    const auto byte = [&](std::size_t i) { return static_cast<std::uint8_t>(text[i]); };
    const std::uint8_t lead = byte(0);
    subpart = 1;
    if (lead < 0x80) {
        codePoint = lead;
        return 1;
    }
    const std::size_t length = lead < 0xC2 ? 0 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : lead < 0xF5 ? 4 : 0;
    if (length == 0) return 0;
    codePoint = lead & (0x7F >> length);
    // The second byte's bounds rule out overlong forms (after E0 and F0),
    // surrogates (after ED) and values beyond U+10FFFF (after F4).
    const std::uint8_t low = lead == 0xE0 ? 0xA0 : lead == 0xF0 ? 0x90 : 0x80;
    const std::uint8_t high = lead == 0xED ? 0x9F : lead == 0xF4 ? 0x8F : 0xBF;
    for (std::size_t i = 1; i < length; ++i) {
        if (i >= text.size()) return 0;
        const std::uint8_t next = byte(i);
        if (next < (i == 1 ? low : 0x80) || next > (i == 1 ? high : 0xBF)) return 0;
        codePoint = (codePoint << 6) | (next & 0x3F);
        subpart = i + 1;
    }
    return length;
}

// The lead byte carries the top bits after its length marker; each
// continuation byte six more.
void appendUtf8(std::string& out, char32_t c) {
    constexpr unsigned char kLeadMarker[] = {0x00, 0xC0, 0xE0, 0xF0};
    const int continuations = c < 0x80 ? 0 : c < 0x800 ? 1 : c < 0x10000 ? 2 : 3;
    out += static_cast<char>(kLeadMarker[continuations] | (c >> (6 * continuations)));
    for (int shift = 6 * (continuations - 1); shift >= 0; shift -= 6)
        out += static_cast<char>(0x80 | ((c >> shift) & 0x3F));
}

constexpr const char* kEllipsis = "\xE2\x80\xA6";  // U+2026

// prefix, then value in that many hexadecimal digits.
void appendEscape(std::string& out, const char* prefix, std::uint32_t value, int digits) {
    out += prefix;
    for (int shift = (digits - 1) * 4; shift >= 0; shift -= 4)
        out += "0123456789ABCDEF"[(value >> shift) & 0xF];
}

}  // namespace

std::size_t decodeUtf8(std::string_view text, char32_t& codePoint) {
    std::size_t subpart = 0;
    return decode(text, codePoint, subpart);
}

std::u16string utf8ToUtf16(std::string_view utf8) {
    std::u16string out;
    out.reserve(utf8.size());
    while (!utf8.empty()) {
        char32_t c = 0;
        std::size_t subpart = 0;
        const std::size_t length = decode(utf8, c, subpart);
        utf8.remove_prefix(length == 0 ? subpart : length);
        if (length == 0) c = kReplacement;
        if (c >= 0x10000) {
            out += static_cast<char16_t>(0xD800 + ((c - 0x10000) >> 10));
            out += static_cast<char16_t>(0xDC00 + ((c - 0x10000) & 0x3FF));
        } else {
            out += static_cast<char16_t>(c);
        }
    }
    return out;
}

std::u16string utf16Units(std::string_view bytes, bool bigEndian) {
    std::u16string units(bytes.size() / 2, u'\0');
    for (std::size_t i = 0; i < units.size(); ++i) {
        const auto first = static_cast<unsigned char>(bytes[2 * i]);
        const auto second = static_cast<unsigned char>(bytes[2 * i + 1]);
        units[i] = static_cast<char16_t>(bigEndian ? (first << 8) | second : (second << 8) | first);
    }
    return units;
}

std::string utf16ToUtf8(std::u16string_view utf16) {
    std::string out;
    out.reserve(utf16.size());
    for (std::size_t i = 0; i < utf16.size();) {
        const char32_t c = nextCodePoint(utf16, i);
        appendUtf8(out, c == kLoneSurrogate ? kReplacement : c);
    }
    return out;
}

bool isWellFormedUtf16(std::u16string_view utf16) {
    for (std::size_t i = 0; i < utf16.size();)
        if (nextCodePoint(utf16, i) == kLoneSurrogate) return false;
    return true;
}

std::u16string storedValueText(bool isString, std::string_view bytes, std::size_t maxUnits) {
    if (!isString || bytes.size() / 2 > maxUnits) return {};
    std::u16string text = utf16Units(bytes, false);
    return text.substr(0, text.find(u'\0'));
}

bool escapedForDisplay(char32_t c) {
    return c < 0x20 || (c >= 0x7F && c <= 0x9F) || c == 0x061C || (c >= 0x200B && c <= 0x200F) ||
           (c >= 0x2028 && c <= 0x202E) || (c >= 0x2060 && c <= 0x2064) || (c >= 0x2066 && c <= 0x2069) ||
           c == 0xFEFF || (c >= 0xFFF9 && c <= 0xFFFB);
}

std::string printableExcerpt(std::string_view text, std::size_t maxCharacters) {
    std::string out;
    for (std::size_t characters = 0; !text.empty(); ++characters) {
        if (characters == maxCharacters) {
            out += kEllipsis;
            break;
        }
        char32_t c = 0;
        const std::size_t length = decodeUtf8(text, c);
        if (length == 0)  // a byte that starts no UTF-8 character
            appendEscape(out, "\\x", static_cast<std::uint8_t>(text.front()), 2);
        else if (c == U'\t' || c == U'\r' || c == U'\n')
            out += c == U'\t' ? "\\t" : c == U'\r' ? "\\r" : "\\n";
        else if (escapedForDisplay(c))
            appendEscape(out, c < 0x80 ? "\\x" : "\\u", c, c < 0x80 ? 2 : 4);
        else
            out.append(text.substr(0, length));
        text.remove_prefix(length == 0 ? 1 : length);
    }
    return out;
}

}  // namespace glance
