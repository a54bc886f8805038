// UTF-8 and UTF-16: the one conversion of the program (its texts are UTF-8;
// the system, some files and the settings store speak UTF-16), and the short,
// printable quotes of outside text (a file's line, a key someone typed) that
// messages show.
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

// A value read from the settings store as text, whatever wrote it: only a
// string value (plain, or with variables to expand, which are left as they
// stand) holds text: its UTF-16 units up to the first NUL or the end of the
// bytes, an odd last byte dropped. Any other type, and a string longer than
// maxUnits, read as the empty text.
std::u16string storedValueText(bool isString, std::string_view bytes, std::size_t maxUnits);

// Characters that print nothing or change how the text around them shows,
// which a quote writes as escapes: C0 and C1 controls, DEL, line and
// paragraph separators, zero-width and direction marks, the byte-order mark
// and the interlinear annotations.
bool escapedForDisplay(char32_t c);

// The first maxCharacters characters of UTF-8 text (as many as a message
// quotes of outside text, unless told), with an ellipsis when there were more. Control characters, invisible
// direction and width marks, and bytes that are not UTF-8 are written as escapes (\t, \x07, \u202E), so the
// quote reads the same everywhere and cannot break or reorder the message around it; each counts as one
// character of the limit.
std::string printableExcerpt(std::string_view text, std::size_t maxCharacters = 60);

}  // namespace glance
