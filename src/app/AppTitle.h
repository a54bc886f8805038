// The program title: the product name cut at word boundaries to at most 40
// characters, the title of message boxes that give none of their own.
#pragma once

#include <string>
#include <string_view>

namespace glance {

class System;

inline constexpr std::size_t kAppTitleLimit = 40;

// Cuts at the last space at least once, then again while longer than the
// limit. Throws PlatformError when there is no space left to cut at.
std::string shortenTitle(std::string_view name);

// Sets the program title from the product name.
void setAppTitle(System& system);

}  // namespace glance
