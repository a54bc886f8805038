// What an administrator would act on, written beside the diagnostic lines to
// a log that fleet tools collect (the Windows Application event log), one
// entry per kind and detail at most once an hour, so that a fault that lasts
// fills nobody's log and one policy applied does not hide the next.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>
#include <utility>
#include <vector>

namespace glance {

enum class AdminEvent {
    StartupEntryRepaired,      // the start-up entry pointed at a program that is gone, and was rewritten
    PolicyApplied,             // a policy setting took effect
    PolicyRefused,             // a policy value was bad data and was treated as not configured
    TrayIconMissing,           // the notification area still refuses the icon after the quick retries
    DesktopFolderUnwatchable,  // a desktop folder could not be watched or listed for minutes
};
inline constexpr std::size_t kAdminEventKinds = 5;

class EventLog {
public:
    virtual ~EventLog() = default;
    // Never fails; writes nothing where the program's event source is not
    // registered (a per-user install, a portable copy). `detail` is plain
    // text that the entry's message names.
    virtual void report(AdminEvent kind, std::wstring_view detail) noexcept = 0;
};

// At most one entry of each kind an hour: the first passes, the ones within
// the hour after it are dropped.
class HourlyEventLimit {
public:
    bool allow(AdminEvent kind, double nowSeconds) {
        double& last = last_[static_cast<std::size_t>(kind)];
        if (last >= 0 && nowSeconds - last < 3600) return false;
        last = nowSeconds;
        return true;
    }

    // The same, for each detail of a kind apart (the policy applied, the
    // folder that cannot be watched), told apart by a hash of both.
    bool allow(AdminEvent kind, std::wstring_view detail, double nowSeconds) {
        std::uint32_t key = 2166136261u ^ static_cast<std::uint32_t>(kind);
        for (const wchar_t c : detail) key = (key ^ static_cast<std::uint32_t>(c)) * 16777619u;
        for (auto& [known, last] : lastByDetail_) {
            if (known != key) continue;
            if (nowSeconds - last < 3600) return false;
            last = nowSeconds;
            return true;
        }
        lastByDetail_.emplace_back(key, nowSeconds);
        return true;
    }

private:
    std::array<double, kAdminEventKinds> last_{-1, -1, -1, -1, -1};
    std::vector<std::pair<std::uint32_t, double>> lastByDetail_;
};

}  // namespace glance
