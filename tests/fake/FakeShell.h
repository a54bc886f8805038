// The shell, simulated: configurable folder paths with a watch on where they
// are, and a record of every notification and started process.
#pragma once

#include <algorithm>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "Failures.h"
#include "FakeWatch.h"
#include "platform/Shell.h"

namespace glance::fake {

class FakeShell : public Shell {
public:
    explicit FakeShell(Failures& failures) : watches(failures, "rearmFolderLocations"), failures_(failures) {}

    // Makes folderId resolve to path. Like a user moving a folder, each of
    // these fires the folder-location watches.
    void setFolder(std::int32_t folderId, const std::wstring& path) {
        paths_[folderId] = path;
        fireLocationWatches();
    }
    void removeFolder(std::int32_t folderId) {
        paths_.erase(folderId);
        fireLocationWatches();
    }

    int lookups = 0;      // specialFolderPath calls
    FakeWatches watches;  // on the folders' locations
    // The time notifications are stamped with; the fake platform's loop clock.
    std::function<double()> clock = [] { return 0.0; };

    struct Notification {
        std::int32_t eventId;
        std::uint32_t flags;
        double at;  // on the clock below
    };
    struct Process {
        std::string commandLine;
        int showState;
    };
    std::vector<Notification> notifications;
    std::vector<Process> processes;

    std::optional<std::wstring> specialFolderPath(std::int32_t folderId) override {
        ++lookups;  // every attempt, also one that fails
        failures_.check("specialFolderPath");
        auto it = paths_.find(folderId);
        if (it == paths_.end()) return std::nullopt;
        return it->second;
    }
    std::unique_ptr<ChangeWatch> watchFolderLocations() override {
        failures_.check("watchFolderLocations");
        return watches.watch(kLocations);
    }
    void changeNotify(std::int32_t eventId, std::uint32_t flags) override {
        failures_.check("changeNotify");
        notifications.push_back({eventId, flags, clock()});
    }
    void startProcess(const std::string& commandLine, int showState) override {
        failures_.check("startProcess");
        processes.push_back({commandLine, showState});
    }

private:
    static constexpr const wchar_t* kLocations = L"shell folder locations";
    void fireLocationWatches() { watches.fire(kLocations); }

    Failures& failures_;
    std::map<std::int32_t, std::wstring> paths_;
};

}  // namespace glance::fake
