// The GUI thread's message loop through user32 and the performance counter,
// and the handles its top-level loop waits on beside the messages.
#pragma once

#include <windows.h>

#include <cstddef>
#include <vector>

#include "platform/MessageLoop.h"

namespace glance::win32 {

// What a handle that stands for something to do, rather than for a change,
// does when it signals: called at top level, between two messages.
class WakeAction {
public:
    virtual void signalled() = 0;

protected:
    ~WakeAction() = default;
};

// The kernel handles that the program's top-level loop waits on beside its
// messages: each change watch and each pool job adds its own for as long as
// it lives. A handle that has signalled stays signalled until its watch is
// armed again, so the loop sets it aside until then; it would otherwise wake
// the loop over and over for a change already seen.
class Win32WakeHandles {
public:
    // With an action, the handle stands for something to do: when it
    // signals, the loop sets it aside and runs the action, and the top-level
    // work does not run for it.
    void add(HANDLE handle, WakeAction* action = nullptr);
    // A request: when it signals, the loop sets it aside and posts `message`
    // to `window`, and the top-level work does not run for it.
    void addRequest(HANDLE handle, HWND window, UINT message);
    void remove(HANDLE handle);
    // The watch is armed again: the loop waits on its handle once more.
    void rearmed(HANDLE handle);
    // The handles to wait on now, at most `limit` of them.
    std::vector<HANDLE> waiting(std::size_t limit) const;
    // Sets the signalled handle aside and runs its action or posts its
    // request; true when it was a change watch's.
    bool signalled(HANDLE handle);

private:
    struct Entry {
        HANDLE handle;
        bool setAside;
        WakeAction* action;
        HWND requestWindow;
        UINT requestMessage;
    };
    std::vector<Entry> entries_;
};

class Win32Loop : public MessageLoop {
public:
    Win32Loop();
    void doEvents() override;
    void waitForMessage(double maxSeconds) override;
    double monotonicSeconds() override;
    [[noreturn]] void endProcess() override;
    void setTopLevelWork(TopLevelWork& work) override;
    void clearTopLevelWork(const TopLevelWork& work) override;

    // The two halves of the program's top-level loop (main.cpp), around its
    // own dispatch of the messages. The nested loops (doEvents above, the
    // waits, a message box's own loop) wait on messages alone and never run
    // the top-level work; a watch that fires meanwhile stays signalled, and
    // the top-level loop sees it as soon as control is back there.
    //
    // Blocks until a message is queued, a watch handle signals, or the time
    // the top-level work asked for has come.
    void waitAtTopLevel();
    // Runs the top-level work when a watch has signalled or its time has come.
    void runTopLevelWork();

    Win32WakeHandles& wakeHandles() { return wakes_; }

private:
    double ticksPerSecond_ = 1;
    Win32WakeHandles wakes_;
    TopLevelWork* work_ = nullptr;
    double workDue_ = kNever;
    bool watchSignalled_ = false;
};

}  // namespace glance::win32
