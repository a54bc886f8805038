// Process-wide services: the single-instance test, message boxes, the program
// title, time, the message loop and the logon start-up list.
#pragma once

#include <cstdint>
#include <limits>
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
    virtual std::optional<std::wstring> startupEntry(const std::string& name) = 0;
};

// A clock that only runs forward, in seconds.
class Clock {
public:
    virtual ~Clock() = default;
    virtual double monotonicSeconds() = 0;
};

// A time that never comes.
inline constexpr double kNever = std::numeric_limits<double>::infinity();

// Work that only the program's top-level message loop runs, between two
// batches of messages: never inside a handler, a nested loop (DoEvents, a
// wait for a message) or a message box, so it never lands in the middle of
// something a handler has begun.
class TopLevelWork {
public:
    virtual ~TopLevelWork() = default;
    // Runs when a change watch has fired, or when the time it last asked for
    // has come. Returns the monotonic time at which it wants to run again
    // (kNever: only when a watch fires).
    virtual double runBetweenMessages() = 0;
};

// The GUI thread's message loop as handlers see it.
class MessageLoop : public Clock {
public:
    // Processes every pending message, then returns (DoEvents).
    virtual void doEvents() = 0;
    // Blocks until a message arrives or maxSeconds have passed; processes nothing.
    virtual void waitForMessage(double maxSeconds) = 0;
    // Ends the process at once; no handler runs after it.
    virtual void endProcess() = 0;
    // The one top-level work; clearing leaves a work set since by another
    // owner in place.
    virtual void setTopLevelWork(TopLevelWork& work) = 0;
    virtual void clearTopLevelWork(const TopLevelWork& work) = 0;
};

}  // namespace glance
