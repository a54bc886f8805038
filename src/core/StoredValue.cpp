#include "core/StoredValue.h"

namespace glance {

std::u16string storedValueText(bool isString, std::string_view bytes, std::size_t maxUnits) {
    if (!isString || bytes.size() / 2 > maxUnits) return {};
    std::u16string text;
    for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) {
        const auto unit = static_cast<char16_t>(static_cast<unsigned char>(bytes[i]) |
                                                static_cast<unsigned char>(bytes[i + 1]) << 8);
        if (unit == u'\0') break;
        text += unit;
    }
    return text;
}

}  // namespace glance
