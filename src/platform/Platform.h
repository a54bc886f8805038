// Everything the logic reaches of the operating system, in one bundle of
// references that the real and the fake platform both provide.
#pragma once

#include "core/Error.h"
#include "platform/AdminSettings.h"
#include "platform/Diagnostics.h"
#include "platform/EventLog.h"
#include "platform/FileSystem.h"
#include "platform/MessageLoop.h"
#include "platform/NotifyIcon.h"
#include "platform/RunningCopy.h"
#include "platform/SettingsStore.h"
#include "platform/Shell.h"
#include "platform/System.h"
#include "platform/Types.h"
#include "platform/Ui.h"

namespace glance {

struct Platform {
    Shell& shell;
    FileSystem& files;
    SettingsStore& settings;
    System& system;
    MessageLoop& loop;
    NotificationArea& notificationArea;
    RunningCopy& runningCopy;
    Ui& ui;
    Diagnostics& diagnostics;
    AdminSettings& admin;
    EventLog& eventLog;
};

}  // namespace glance
