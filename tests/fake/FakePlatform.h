// The whole fake platform: one of each fake, sharing one failure plan, and
// the Platform bundle the logic takes.
#pragma once

#include "Failures.h"
#include "FakeAdminSettings.h"
#include "FakeDiagnostics.h"
#include "FakeEventLog.h"
#include "FakeFileSystem.h"
#include "FakeLoop.h"
#include "FakeNotifyIcon.h"
#include "FakeRunningCopy.h"
#include "FakeSettings.h"
#include "FakeShell.h"
#include "FakeSystem.h"
#include "FakeUi.h"
#include "platform/Platform.h"

namespace glance::fake {

struct FakePlatform {
    Failures failures;
    FakeShell shell{failures};
    FakeFileSystem files{failures};
    FakeSettings settings{failures};
    FakeSystem system{failures};
    FakeLoop loop{failures};
    FakeNotificationArea notificationArea{failures, loop};
    FakeRunningCopy runningCopy;
    FakeUi ui{failures, loop};
    FakeDiagnostics diagnostics;
    FakeAdminSettings admin;
    FakeEventLog eventLog;

    // A watch that fires wakes the top-level loop, as a signalled handle does.
    FakePlatform() {
        files.watches.onFired = [this] { loop.wake(); };
        shell.watches.onFired = [this] { loop.wake(); };
        shell.clock = [this] { return loop.now(); };
    }
    FakePlatform(const FakePlatform&) = delete;
    FakePlatform& operator=(const FakePlatform&) = delete;

    Platform platform() {
        return Platform{shell,       files, settings,    system, loop,  notificationArea,
                        runningCopy, ui,    diagnostics, admin,  eventLog};
    }
};

}  // namespace glance::fake
