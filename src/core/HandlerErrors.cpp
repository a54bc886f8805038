#include "core/HandlerErrors.h"

#include <string>

#include "core/Product.h"
#include "core/TextExcerpt.h"

namespace glance {
namespace {

// Far more than any description the program builds (a quote of outside text
// included, even fully escaped), far less than a box that can still show it.
constexpr std::size_t kDescriptionCharacters = 512;

}  // namespace

std::string handlerErrorMessage(std::string_view tag, std::int32_t label, std::string_view description) {
    // Whatever a description holds, the box stays readable: its text is
    // bounded and printable, and the tag and line below it always show.
    const std::string shown = printableExcerpt(description, kDescriptionCharacters);
    std::string text;
    text.reserve(shown.size() + tag.size() + 100);
    text.append(shown).append("\r\n").append(tag).append("at line ");
    // Labels are positive; the magnitude is shown without a sign all the same.
    const auto magnitude = label < 0 ? -static_cast<std::int64_t>(label) : static_cast<std::int64_t>(label);
    text.append(std::to_string(magnitude));
    text.append("\r\r").append("Please email screenshot of this message to ").append(kSupportEmail);
    return text;
}

}  // namespace glance
