// The real platform: one of each Win32 implementation, and the Platform bundle
// the logic takes. Only main.cpp and the win32 tests include this.
#pragma once

#include "platform/Platform.h"
#include "platform/win32/Win32Diagnostics.h"
#include "platform/win32/Win32EventLog.h"
#include "platform/win32/Win32FileSystem.h"
#include "platform/win32/Win32Loop.h"
#include "platform/win32/Win32NotifyIcon.h"
#include "platform/win32/Win32RunningCopy.h"
#include "platform/win32/Win32Settings.h"
#include "platform/win32/Win32Shell.h"
#include "platform/win32/Win32System.h"
#include "platform/win32/Win32Ui.h"

namespace glance::win32 {

struct Win32Platform {
    // First: the watches that the shell and the file system set up hand their
    // handles to the loop's top-level wait.
    Win32Loop loop;
    Win32Shell shell{&loop.wakeHandles()};
    Win32FileSystem files{&loop.wakeHandles()};
    Win32Settings settings;
    Win32System system;
    Win32NotificationArea notificationArea;
    Win32RunningCopy runningCopy;
    Win32Ui ui;
    Win32Diagnostics diagnostics;
    Win32AdminSettings admin;
    Win32EventLog eventLog;

    Platform platform() {
        return Platform{shell,       files, settings,    system, loop,  notificationArea,
                        runningCopy, ui,    diagnostics, admin,  eventLog};
    }
};

}  // namespace glance::win32
