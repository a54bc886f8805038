#include "app/AppTitle.h"

#include "core/Error.h"
#include "core/Product.h"
#include "platform/System.h"

namespace glance {

std::string shortenTitle(std::string_view name) {
    std::string title(name);
    do {
        const auto space = title.rfind(' ');
        if (space == std::string::npos) throw PlatformError(errtext::kInvalidCall);
        title.resize(space);
    } while (title.size() > kAppTitleLimit);
    return title;
}

void setAppTitle(System& system) {
    system.setAppTitle(shortenTitle(kProductName));
}

}  // namespace glance
