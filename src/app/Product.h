// The fixed names and addresses of the product.
#pragma once

namespace glance {

inline constexpr const char* kProductName = "Lumenfold Live Shell Glance Refresher Utility";
inline constexpr const char* kCompanyName = "Quillhaven";
// The settings store's application name.
inline constexpr const char* kSettingsApplication = "Quillhaven";

inline constexpr const char* kSupportEmail = "support@quillhaven.com";
inline constexpr const char* kHomePageUrl = "https://www.quillhaven.com/";
inline constexpr const char* kContactPageUrl = "https://www.quillhaven.com/contact";

// Settings keys and switch values.
inline constexpr const char* kKeyStartStopState = "StartStopState";
inline constexpr const char* kKeyWindowsStartup = "Windows Startup";
inline constexpr const char* kKeyMinimized = "Minimized";
inline constexpr const char* kOn = "On";
inline constexpr const char* kOff = "Off";

}  // namespace glance
