// The GUI thread's message loop through user32 and the performance counter.
#pragma once

#include "platform/System.h"

namespace glance::win32 {

class Win32Loop : public MessageLoop {
public:
    Win32Loop();
    void doEvents() override;
    void waitForMessage(double maxSeconds) override;
    double monotonicSeconds() override;
    [[noreturn]] void endProcess() override;

private:
    double ticksPerSecond_ = 1;
};

}  // namespace glance::win32
