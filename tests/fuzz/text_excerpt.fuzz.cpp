// Quotes of outside text: whatever the bytes, the quote is printable and
// bounded, and printable ASCII within the limit is quoted as it stands.
#include <algorithm>
#include <cstdint>

#include "Invariant.h"
#include "core/Unicode.h"

using glance::fuzz::printable;
using glance::fuzz::require;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    const std::size_t limit = data[0] % 80;  // the first byte: how many characters may be quoted
    const std::string_view text(reinterpret_cast<const char*>(data + 1), size - 1);
    const std::string quote = glance::printableExcerpt(text, limit);

    require(printable(quote), "the quote is printable");
    // Each character is written as at most six bytes ("\u202E"), then an ellipsis.
    require(quote.size() <= 6 * limit + 3, "the quote is bounded");
    const bool plain = text.size() <= limit && std::all_of(text.begin(), text.end(), [](unsigned char c) {
                           return c >= 0x20 && c < 0x7F;
                       });
    if (plain) require(quote == text, "plain text is quoted as it stands");
    return 0;
}
