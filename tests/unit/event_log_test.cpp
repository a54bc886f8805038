// The administrator's event log writes one entry of each kind an hour at most.
#include <gtest/gtest.h>

#include <tuple>

#include "platform/EventLog.h"

namespace glance {
namespace {

TEST(HourlyEventLimit, PassesTheFirstOfEachKindAndNoneOfThatKindWithinTheHourAfterIt) {
    struct Case {
        AdminEvent kind;
        double at;
        bool written;
    };
    const Case cases[] = {
        {AdminEvent::TrayIconMissing, 100, true},        {AdminEvent::TrayIconMissing, 101, false},
        {AdminEvent::PolicyRefused, 102, true},          {AdminEvent::TrayIconMissing, 3699, false},
        {AdminEvent::TrayIconMissing, 3700, true},       {AdminEvent::TrayIconMissing, 3701, false},
        {AdminEvent::DesktopFolderUnwatchable, 0, true},
    };
    HourlyEventLimit limit;
    for (const Case& c : cases) EXPECT_EQ(limit.allow(c.kind, c.at), c.written) << c.at;
    // Each detail of a kind counts apart: the second policy applied is written too.
    HourlyEventLimit byDetail;
    for (const auto& [detail, at, written] :
         {std::tuple(L"StartInTray", 0, true), std::tuple(L"StartInTray", 10, false),
          std::tuple(L"AutomaticRefresh", 20, true), std::tuple(L"StartInTray", 3600, true)})
        EXPECT_EQ(byDetail.allow(AdminEvent::PolicyApplied, detail, at), written) << at;
}

}  // namespace
}  // namespace glance
