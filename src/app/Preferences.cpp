#include "app/Preferences.h"

#include "core/Product.h"

namespace glance {

std::string Preferences::read(const char* key) {
    return store_.read(kSettingsApplication, kProductName, key, kOff);
}

void Preferences::save(const char* key, bool on) {
    store_.save(kSettingsApplication, kProductName, key, on ? kOn : kOff);
}

}  // namespace glance
