// The main window as designed: its properties and every control with its
// caption, place and size in twips, in creation order.
#pragma once

#include "platform/Ui.h"

namespace glance {

const WindowLayout& mainWindowLayout();

}  // namespace glance
