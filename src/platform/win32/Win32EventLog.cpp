#include "platform/win32/Win32EventLog.h"

#include <windows.h>

#include <string>

#include "GlanceEvents.h"
#include "platform/win32/UniqueHandle.h"

namespace glance::win32 {

namespace {

constexpr wchar_t kSource[] = L"GlanceRefresher";
constexpr wchar_t kSourceKey[] =
    L"SYSTEM\\CurrentControlSet\\Services\\EventLog\\Application\\GlanceRefresher";

struct EventMessage {
    DWORD id;
    WORD type;
};

EventMessage messageOf(AdminEvent kind) {
    switch (kind) {
    case AdminEvent::StartupEntryRepaired:
        return {MSG_STARTUP_ENTRY_REPAIRED, EVENTLOG_INFORMATION_TYPE};
    case AdminEvent::PolicyApplied:
        return {MSG_POLICY_APPLIED, EVENTLOG_INFORMATION_TYPE};
    case AdminEvent::PolicyRefused:
        return {MSG_POLICY_REFUSED, EVENTLOG_WARNING_TYPE};
    case AdminEvent::TrayIconMissing:
        return {MSG_TRAY_ICON_MISSING, EVENTLOG_WARNING_TYPE};
    case AdminEvent::DesktopFolderUnwatchable:
        break;
    }
    return {MSG_DESKTOP_FOLDER_UNWATCHABLE, EVENTLOG_WARNING_TYPE};
}

// Only a source the installer registered: the event log would otherwise
// write under the name anyway, with no messages to show.
bool sourceRegistered() {
    UniqueHkey key;
    return RegOpenKeyExW(HKEY_LOCAL_MACHINE, kSourceKey, 0, KEY_QUERY_VALUE, key.put()) == ERROR_SUCCESS;
}

}  // namespace

void Win32EventLog::report(AdminEvent kind, std::wstring_view detail) noexcept {
    try {
        if (!limit_.allow(kind, static_cast<double>(GetTickCount64()) / 1000.0) || !sourceRegistered())
            return;
        const HANDLE source = RegisterEventSourceW(nullptr, kSource);
        if (source == nullptr) return;
        const std::wstring text(detail);
        const wchar_t* strings[] = {text.c_str()};
        const EventMessage message = messageOf(kind);
        ReportEventW(source, message.type, 0, message.id, nullptr, 1, 0, strings, nullptr);
        DeregisterEventSource(source);
    } catch (...) {
        // Out of memory for the text: the entry is dropped, as a log entry may be.
    }
}

}  // namespace glance::win32
