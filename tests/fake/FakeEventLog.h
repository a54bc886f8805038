// The administrator's event log, recorded: every entry reported, as its kind
// and detail (the once-an-hour limit is the real log's).
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "platform/EventLog.h"

namespace glance::fake {

class FakeEventLog : public EventLog {
public:
    std::vector<std::pair<AdminEvent, std::wstring>> entries;

    void report(AdminEvent kind, std::wstring_view detail) noexcept override {
        entries.emplace_back(kind, std::wstring(detail));
    }
};

}  // namespace glance::fake
