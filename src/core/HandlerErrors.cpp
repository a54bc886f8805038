#include "core/HandlerErrors.h"

#include <string>

#include "core/Product.h"
#include "core/Unicode.h"

namespace glance {

std::string handlerErrorMessage(std::string_view tag, std::int32_t label, std::string_view description) {
    // Whatever a description holds, the box stays readable: its text is
    // bounded and printable, and the tag and line below it always show. The
    // bound is far more than any description the program builds (a quote of
    // outside text included, even fully escaped), far less than a box that
    // can still show it.
    constexpr std::size_t kDescriptionCharacters = 512;
    std::string text = printableExcerpt(description, kDescriptionCharacters);
    // Labels are positive; the magnitude is shown without a sign all the same.
    const auto magnitude = label < 0 ? -std::int64_t{label} : std::int64_t{label};
    text.append("\r\n").append(tag).append("at line ").append(std::to_string(magnitude));
    text.append("\r\rPlease email screenshot of this message to ").append(kSupportEmail);
    return text;
}

}  // namespace glance
