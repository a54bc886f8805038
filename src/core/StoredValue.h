// How the bytes of a value read from the settings store are taken as text,
// whatever wrote them (the program, a user in the registry editor, a tool).
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace glance {

// Only a string value (plain, or with variables to expand, which are left
// as they stand) holds text: its UTF-16 units up to the first NUL or the
// end of the bytes, an odd last byte dropped. Any other type, and a string
// longer than maxUnits, read as the empty text.
std::u16string storedValueText(bool isString, std::string_view bytes, std::size_t maxUnits);

}  // namespace glance
