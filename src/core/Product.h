// The fixed names and addresses of the product.
#pragma once

namespace glance {

inline constexpr const char* kProductName = "Lumenfold Live Shell Glance Refresher Utility";
// The settings store's application name.
inline constexpr const char* kSettingsApplication = "Quillhaven";

inline constexpr const char* kSupportEmail = "support@quillhaven.com";
inline constexpr const char* kHomePageUrl = "https://www.quillhaven.com/";
inline constexpr const char* kContactPageUrl = "https://www.quillhaven.com/contact";

}  // namespace glance
