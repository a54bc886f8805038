// Process-wide system calls: the single-instance test, message boxes, the
// program title, the time of day, the program path and the logon start-up list.
#pragma once

#include <cstdint>
#include <optional>
#include <string>


namespace glance {

class System {
public:
    virtual ~System() = default;

    // True when another instance of the program is running. The first call
    // claims the instance for this process for the rest of its life.
    virtual bool anotherInstanceRunning() = 0;

    // A modal message box; no title means the program title. Returns the
    // button pressed. The text is shown byte for byte.
    virtual int messageBox(const std::string& text, const std::optional<std::string>& title,
                           std::uint32_t style) = 0;

    virtual void setAppTitle(const std::string& title) = 0;
    virtual std::string appTitle() = 0;

    // Local time of day in seconds since midnight, fractions included.
    virtual double secondsSinceMidnight() = 0;

    // The full path of the running program file.
    virtual std::wstring programPath() = 0;

    // The per-user list of programs started at logon (the Run key).
    virtual void setStartupEntry(const std::string& name, const std::wstring& commandLine) = 0;
    virtual void removeStartupEntry(const std::string& name) = 0;
    // The value's text as stored.
    virtual std::optional<std::wstring> startupEntry(const std::string& name) = 0;
    // The command line that the logon start runs for the value: its text with
    // this user's environment variables expanded when it is stored as an
    // expandable string, as stored otherwise.
    virtual std::optional<std::wstring> startupEntryCommandLine(const std::string& name) = 0;
};

}  // namespace glance
