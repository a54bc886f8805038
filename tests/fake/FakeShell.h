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
#include "platform/Shell.h"

namespace glance::fake {

class FakeShell : public Shell {
public:
    explicit FakeShell(Failures& failures) : failures_(failures) {}

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

    int lookups = 0;  // specialFolderPath calls
    int locationWatchesAlive = 0;
    // Called when a watch fires; the fake platform wakes its loop with it.
    std::function<void()> onWatchFired;
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
        return std::make_unique<LocationWatch>(*this);
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
    class LocationWatch : public ChangeWatch {
    public:
        explicit LocationWatch(FakeShell& shell) : shell_(shell) {
            ++shell_.locationWatchesAlive;
            shell_.watches_.push_back(this);
        }
        ~LocationWatch() override {
            --shell_.locationWatchesAlive;
            std::erase(shell_.watches_, this);
        }
        bool fired() override { return fired_; }
        void rearm() override {
            shell_.failures_.check("rearmFolderLocations");
            fired_ = false;
        }
        void fire() {
            if (fired_) return;
            fired_ = true;
            if (shell_.onWatchFired) shell_.onWatchFired();
        }

    private:
        FakeShell& shell_;
        bool fired_ = false;
    };

    void fireLocationWatches() {
        for (LocationWatch* w : std::vector<LocationWatch*>(watches_)) w->fire();
    }

    Failures& failures_;
    std::map<std::int32_t, std::wstring> paths_;
    std::vector<LocationWatch*> watches_;
};

}  // namespace glance::fake
