// A window's event sink that does nothing: for tests that only look at the
// window itself.
#pragma once

#include "platform/Ui.h"

namespace glance {

struct NoEvents : WindowEvents {
    void onQueryUnload() override {}
    void onResize() override {}
    void onMouseMove(ControlId) override {}
    void onClick(ControlId) override {}
    void onTimer(ControlId) override {}
};

}  // namespace glance
