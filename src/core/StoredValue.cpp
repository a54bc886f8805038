#include "core/StoredValue.h"

#include "core/Unicode.h"

namespace glance {

std::u16string storedValueText(bool isString, std::string_view bytes, std::size_t maxUnits) {
    if (!isString || bytes.size() / 2 > maxUnits) return {};
    std::u16string text = utf16Units(bytes, false);
    return text.substr(0, text.find(u'\0'));
}

}  // namespace glance
