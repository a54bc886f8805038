// Stored settings values: whatever bytes and type the store holds, the text
// is the value's first units, never a NUL, never beyond the limit.
#include <cstdint>

#include "Invariant.h"
#include "core/Unicode.h"

using glance::fuzz::require;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 2) return 0;
    const bool isString = data[0] & 1;  // the first byte: the value's type
    const std::size_t limit = data[1];  // the second: the longest text taken
    const std::string_view bytes(reinterpret_cast<const char*>(data + 2), size - 2);
    const std::u16string text = glance::storedValueText(isString, bytes, limit);

    require(isString || text.empty(), "only a string holds text");
    require(text.size() <= limit && text.size() <= bytes.size() / 2, "the text is bounded");
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto unit = static_cast<char16_t>(static_cast<std::uint8_t>(bytes[2 * i]) |
                                                static_cast<std::uint8_t>(bytes[2 * i + 1]) << 8);
        require(text[i] != u'\0' && text[i] == unit, "the text is the value's first units");
    }
    // A string that fits is cut only at its first NUL.
    if (isString && bytes.size() / 2 <= limit && text.size() < bytes.size() / 2)
        require(bytes[2 * text.size()] == 0 && bytes[2 * text.size() + 1] == 0, "cut only at a NUL");
    return 0;
}
