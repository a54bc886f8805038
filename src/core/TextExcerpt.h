// Short, printable quotes of text that comes from outside the program (a
// file's line, a key someone typed), for messages that show them.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace glance {

// How many characters of outside text a message quotes.
inline constexpr std::size_t kExcerptCharacters = 60;

// Characters that print nothing or change how the text around them shows,
// which a quote writes as escapes: C0 and C1 controls, DEL, line and
// paragraph separators, zero-width and direction marks, the byte-order mark
// and the interlinear annotations.
bool escapedForDisplay(char32_t c);

// The first maxCharacters characters of UTF-8 text, with an ellipsis when
// there were more. Control characters, invisible direction and width marks,
// and bytes that are not UTF-8 are written as escapes (\t, \x07, \u202E),
// so the quote reads the same everywhere and cannot break or reorder the
// message around it; each counts as one character of the limit.
std::string printableExcerpt(std::string_view text, std::size_t maxCharacters = kExcerptCharacters);

}  // namespace glance
