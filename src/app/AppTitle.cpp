#include "app/AppTitle.h"

#include "app/Product.h"
#include "platform/Error.h"
#include "platform/System.h"

namespace glance {

std::string ShortenTitle(std::string_view name) {
    std::string title(name);
    do {
        const auto space = title.rfind(' ');
        if (space == std::string::npos) throw PlatformError(errtext::kInvalidCall);
        title.resize(space);
    } while (title.size() > kAppTitleLimit);
    return title;
}

void SetAppTitle(System& system) {
    system.setAppTitle(ShortenTitle(kProductName));
}

}  // namespace glance
