#include "core/HandlerErrors.h"

#include <string>

#include "core/Product.h"

namespace glance {

std::string handlerErrorMessage(std::string_view tag, std::int32_t label, std::string_view description) {
    std::string text;
    text.reserve(description.size() + tag.size() + 100);
    text.append(description).append("\r\n").append(tag).append("at line ");
    // Labels are positive; the magnitude is shown without a sign all the same.
    const auto magnitude = label < 0 ? -static_cast<std::int64_t>(label) : static_cast<std::int64_t>(label);
    text.append(std::to_string(magnitude));
    text.append("\r\r").append("Please email screenshot of this message to ").append(kSupportEmail);
    return text;
}

}  // namespace glance
