// The event log through the "GlanceRefresher" source of the Application log,
// whose messages are the exe's message table (res/GlanceEvents.mc). The
// per-machine installer registers the source; without it nothing is written.
#pragma once

#include "platform/EventLog.h"

namespace glance::win32 {

class Win32EventLog : public EventLog {
public:
    void report(AdminEvent kind, std::wstring_view detail) noexcept override;

private:
    HourlyEventLimit limit_;
};

}  // namespace glance::win32
