// UTF-8 and UTF-16: the one conversion of the program. Its texts are UTF-8;
// the system and some files speak UTF-16.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace glance {

// The length of the UTF-8 sequence at the front of text and its code point;
// 0 when the first byte does not start a well-formed sequence (overlong
// forms, surrogates and values beyond U+10FFFF included).
std::size_t decodeUtf8(std::string_view text, char32_t& codePoint);

// Each malformed part (the longest start of a sequence, or a byte that starts
// none) becomes one U+FFFD, as the system's own conversion does.
std::u16string utf8ToUtf16(std::string_view utf8);
// UTF-16 bytes (little- or big-endian) as their code units; an odd last
// byte is dropped.
std::u16string utf16Units(std::string_view bytes, bool bigEndian);
// A lone surrogate becomes U+FFFD.
std::string utf16ToUtf8(std::u16string_view utf16);
// False when the text holds a lone surrogate.
bool isWellFormedUtf16(std::u16string_view utf16);

}  // namespace glance
