// The shell through shell32: folder paths (wide end to end), the change
// notification and CreateProcess.
#pragma once

#include "platform/Shell.h"
#include "platform/win32/Win32Loop.h"

namespace glance::win32 {

class Win32Shell : public Shell {
public:
    // Watches hand their handles to the top-level loop's wait (none: they are
    // only polled, as in a test).
    explicit Win32Shell(Win32WakeHandles* wakes = nullptr) : wakes_(wakes) {}

    std::optional<std::wstring> specialFolderPath(std::int32_t folderId) override;
    void changeNotify(std::int32_t eventId, std::uint32_t flags) override;
    void startProcess(const std::string& commandLine, int showState) override;
    std::unique_ptr<ChangeWatch> watchFolderLocations() override;  // Win32FolderLocations.cpp

private:
    Win32WakeHandles* wakes_;
};

}  // namespace glance::win32
