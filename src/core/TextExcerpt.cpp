#include "core/TextExcerpt.h"

#include <cstdint>

#include "core/Unicode.h"

namespace glance {
namespace {

constexpr const char* kEllipsis = "\xE2\x80\xA6";  // U+2026

void appendHex(std::string& out, std::uint32_t value, int digits) {
    constexpr const char* kHex = "0123456789ABCDEF";
    for (int shift = (digits - 1) * 4; shift >= 0; shift -= 4) out += kHex[(value >> shift) & 0xF];
}

void appendEscaped(std::string& out, char32_t c) {
    switch (c) {
    case U'\t':
        out += "\\t";
        return;
    case U'\r':
        out += "\\r";
        return;
    case U'\n':
        out += "\\n";
        return;
    default:
        break;
    }
    if (c < 0x80) {
        out += "\\x";
        appendHex(out, c, 2);
    } else {
        out += "\\u";
        appendHex(out, c, 4);
    }
}

}  // namespace

bool escapedForDisplay(char32_t c) {
    return c < 0x20 || (c >= 0x7F && c <= 0x9F) || c == 0x061C || (c >= 0x200B && c <= 0x200F) ||
           (c >= 0x2028 && c <= 0x202E) || (c >= 0x2060 && c <= 0x2064) || (c >= 0x2066 && c <= 0x2069) ||
           c == 0xFEFF || (c >= 0xFFF9 && c <= 0xFFFB);
}

std::string printableExcerpt(std::string_view text, std::size_t maxCharacters) {
    std::string out;
    std::size_t characters = 0;
    while (!text.empty()) {
        if (characters == maxCharacters) {
            out += kEllipsis;
            break;
        }
        char32_t codePoint = 0;
        const std::size_t length = decodeUtf8(text, codePoint);
        if (length == 0) {
            out += "\\x";
            appendHex(out, static_cast<std::uint8_t>(text.front()), 2);
            text.remove_prefix(1);
        } else {
            if (escapedForDisplay(codePoint)) {
                appendEscaped(out, codePoint);
            } else {
                out.append(text.substr(0, length));
            }
            text.remove_prefix(length);
        }
        ++characters;
    }
    return out;
}

}  // namespace glance
