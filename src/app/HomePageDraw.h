// The draw at start that now and then shows the vendor's home page.
#pragma once

#include "platform/Shell.h"
#include "platform/System.h"

namespace glance {

// On one start in a hundred, opens the vendor's home page in a minimized window.
void openHomePageByChance(System& system, Shell& shell);

}  // namespace glance
