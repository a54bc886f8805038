// Where an administrator's Group Policy settings for the program live: one
// key under the machine's and under each user's policy root, and the names of
// its values. The administrative templates (packaging/policy) name the same
// key and values; their test reads this file.
#pragma once

namespace glance {

inline constexpr const char* kPolicyKey = "Software\\Policies\\Quillhaven\\GlanceRefresher";

// REG_DWORD 1 forces the setting on, 0 forces it off; absent leaves it to the user.
inline constexpr const char* kPolicyAutomaticRefresh = "AutomaticRefresh";
inline constexpr const char* kPolicyStartInTray = "StartInTray";
inline constexpr const char* kPolicyStartWithWindows = "StartWithWindows";
// REG_DWORD 1: never open the vendor's home page at start; 0 or absent: as usual.
// A user without administrator rights may set the same value, by the same
// name, under the program's own settings key; a policy rules over it.
inline constexpr const char* kPolicyNoHomePage = "DisableHomePageVisit";

}  // namespace glance
