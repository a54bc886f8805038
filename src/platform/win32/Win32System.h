// Process services through kernel32, user32 and advapi32: the single-instance
// mutex, message boxes, the program title, the time of day, the program path
// and the per-user Run list.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "platform/System.h"
#include "platform/win32/UniqueHandle.h"
#include "platform/win32/Win32Settings.h"
#include "platform/win32/Win32Text.h"

namespace glance::win32 {

// The full path of a module file, however long; nullptr names the program.
std::wstring modulePath(HMODULE module = nullptr);

inline constexpr const wchar_t* kInstanceMutexName = L"Local\\Quillhaven.LumenfoldGlanceRefresher";
inline constexpr const wchar_t* kRunKeyPath = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run";

class Win32System : public System {
public:
    // Creates (or opens) the named instance mutex on the first call and keeps
    // it for the life of this object, which is the life of the process.
    bool anotherInstanceRunning() override;

    // A message box owned by the program's shown window (task-modal when
    // there is none); no title means the program title.
    int messageBox(const std::string& text, const std::optional<std::string>& title,
                   std::uint32_t style) override;

    void setAppTitle(const std::string& title) override { appTitle_ = title; }
    // Until it is set, the program file's name without its extension.
    std::string appTitle() override;

    double secondsSinceMidnight() override;
    std::wstring programPath() override { return modulePath(); }

    // REG_SZ values under HKEY_CURRENT_USER\...\CurrentVersion\Run.
    void setStartupEntry(const std::string& name, const std::wstring& commandLine) override {
        writeRegistryString(HKEY_CURRENT_USER, kRunKeyPath, widenUtf8(name), commandLine);
    }
    void removeStartupEntry(const std::string& name) override {
        deleteRegistryValue(HKEY_CURRENT_USER, kRunKeyPath, widenUtf8(name));
    }
    std::optional<std::wstring> startupEntry(const std::string& name) override {
        return readRegistryString(HKEY_CURRENT_USER, kRunKeyPath, widenUtf8(name));
    }
    // A REG_EXPAND_SZ value expanded with ExpandEnvironmentStringsW.
    std::optional<std::wstring> startupEntryCommandLine(const std::string& name) override;

private:
    UniqueKernelHandle instanceMutex_;
    std::optional<bool> anotherInstance_;
    std::optional<std::string> appTitle_;
};

}  // namespace glance::win32
