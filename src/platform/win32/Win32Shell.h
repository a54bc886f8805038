// The shell through shell32: folder paths (wide end to end), the change
// notification, Shell_NotifyIconA with the 488-byte record, and CreateProcess.
#pragma once

#include "platform/Shell.h"

namespace glance::win32 {

class Win32Shell : public Shell {
public:
    std::wstring specialFolderRawPath(std::int32_t folderId) override;                // Win32Shell.cpp
    void changeNotify(std::int32_t eventId, std::uint32_t flags) override;            // Win32Shell.cpp
    void startProcess(const std::string& commandLine, int showState) override;        // Win32Shell.cpp
    void notifyIcon(std::uint32_t message, const NotifyIconRecord& record) override;  // Win32NotifyIcon.cpp
};

}  // namespace glance::win32
