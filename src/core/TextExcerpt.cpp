#include "core/TextExcerpt.h"

#include <cstdint>

#include "core/Unicode.h"

namespace glance {
namespace {

constexpr const char* kEllipsis = "\xE2\x80\xA6";  // U+2026

// prefix, then value in that many hexadecimal digits.
void appendEscape(std::string& out, const char* prefix, std::uint32_t value, int digits) {
    out += prefix;
    for (int shift = (digits - 1) * 4; shift >= 0; shift -= 4)
        out += "0123456789ABCDEF"[(value >> shift) & 0xF];
}

}  // namespace

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
