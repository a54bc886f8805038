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
    std::size_t length = 0;
    std::uint8_t low = 0x80, high = 0xBF;  // bounds of the second byte
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
        codePoint = lead & 0x1F;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        codePoint = lead & 0x0F;
        if (lead == 0xE0) low = 0xA0;
        if (lead == 0xED) high = 0x9F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        codePoint = lead & 0x07;
        if (lead == 0xF0) low = 0x90;
        if (lead == 0xF4) high = 0x8F;
    } else {
        return 0;
    }
    for (std::size_t i = 1; i < length; ++i) {
        if (i >= text.size()) return 0;
        const std::uint8_t next = byte(i);
        if (next < (i == 1 ? low : 0x80) || next > (i == 1 ? high : 0xBF)) return 0;
        codePoint = (codePoint << 6) | (next & 0x3F);
        subpart = i + 1;
    }
    return length;
}

void appendUtf8(std::string& out, char32_t c) {
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
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

}  // namespace glance
