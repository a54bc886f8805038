// The watch on where the shell folders are: the per-user and the all-users
// "User Shell Folders" keys, which hold the desktop folders' locations (the
// user's "Desktop", the shared "Common Desktop") and change when a user or an
// administrator moves one.
#include <windows.h>

#include <array>
#include <memory>
#include <string>
#include <vector>

#include "core/Error.h"
#include "platform/win32/LazyImports.h"
#include "platform/win32/UniqueHandle.h"
#include "platform/win32/Win32Shell.h"
#include "platform/win32/Win32Text.h"

namespace glance::win32 {

namespace {

constexpr const wchar_t* kUserShellFolders =
    L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\User Shell Folders";

// One registry key's change notification, signalled through an event of its
// own. RegNotifyChangeKeyValue reports one change and must be asked again
// after it; asking again while a request is still pending would pile up
// requests, so only a key whose event has fired is asked again.
class KeyWatch {
public:
    KeyWatch(HKEY root, const wchar_t* subKey) {
        // The 64-bit view where there is one: a 32-bit program's view of
        // HKLM\Software is redirected, and the redirected key may not exist.
        if (const LONG result = RegOpenKeyExW(root, subKey, 0, KEY_NOTIFY | KEY_WOW64_64KEY, key_.put());
            result != ERROR_SUCCESS)
            throw PlatformError(systemErrorCode(static_cast<DWORD>(result)));
        // Manual reset: the top-level loop's wait must not consume the signal
        // that the counter then polls.
        event_.reset(CreateEventW(nullptr, TRUE, FALSE, nullptr));
        if (!event_) throw PlatformError(systemErrorCode(GetLastError()));
        arm();
    }

    bool fired() const { return WaitForSingleObject(event_.get(), 0) != WAIT_TIMEOUT; }
    HANDLE event() const { return event_.get(); }

    void arm() {
        ResetEvent(event_.get());
        // The GUI thread, which asks, lives as long as the program: the
        // request is not cancelled by its thread ending.
        const LONG result = RegNotifyChangeKeyValue(
            key_.get(), FALSE, REG_NOTIFY_CHANGE_NAME | REG_NOTIFY_CHANGE_LAST_SET, event_.get(), TRUE);
        if (result != ERROR_SUCCESS) throw PlatformError(systemErrorCode(static_cast<DWORD>(result)));
    }

private:
    // The key closes first: closing it is what ends its pending request.
    UniqueKernelHandle event_;
    UniqueHkey key_;
};

class FolderLocationsWatch : public ChangeWatch {
public:
    // Each key is watched when it can be: one that cannot be opened leaves
    // the other one's watch in place. Only when neither can be watched does
    // the watch fail, and the counter then looks the paths up on a timer.
    explicit FolderLocationsWatch(Win32WakeHandles* wakes) : wakes_(wakes) {
        PlatformError failure(errtext::kInvalidCall);
        keys_.reserve(2);
        for (HKEY root : {HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE}) {
            try {
                keys_.emplace_back(root, kUserShellFolders);
            } catch (const PlatformError& e) {
                failure = e;
            }
        }
        if (keys_.empty()) throw failure;
        if (wakes_ != nullptr)
            for (const KeyWatch& key : keys_) wakes_->add(key.event());
    }
    ~FolderLocationsWatch() override {
        if (wakes_ != nullptr)
            for (const KeyWatch& key : keys_) wakes_->remove(key.event());
    }

    // One wait for every event: this is polled at every count.
    bool fired() override {
        std::array<HANDLE, 2> events{};
        for (std::size_t i = 0; i < keys_.size(); ++i) events[i] = keys_[i].event();
        return WaitForMultipleObjects(static_cast<DWORD>(keys_.size()), events.data(), FALSE, 0) !=
               WAIT_TIMEOUT;
    }

    bool rearm() override {
        // A location moved: the shell's per-process cache of folder paths
        // must give way to what the registry now says, before the paths are
        // looked up again (where shell32 has it).
        if (const auto flush = lazy::shell32().SHFlushSFCache) flush();
        try {
            for (KeyWatch& key : keys_) {
                if (!key.fired()) continue;
                key.arm();
                if (wakes_ != nullptr) wakes_->rearmed(key.event());
            }
        } catch (const PlatformError&) {
            return false;  // the key went: the counter looks the paths up on a timer
        }
        return true;
    }

private:
    std::vector<KeyWatch> keys_;  // at most two: the user's key and the machine's
    Win32WakeHandles* wakes_;
};

}  // namespace

std::unique_ptr<ChangeWatch> Win32Shell::watchFolderLocations() {
    return std::make_unique<FolderLocationsWatch>(wakes_);
}

}  // namespace glance::win32
