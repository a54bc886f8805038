// The program's value in the user's list of programs started at logon: the
// command line it holds for this copy, how the logon start reads a value's
// command line (pure text work, so that any text the registry holds can be
// tried against it), and the repair at start when the program was moved
// after the value was written.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "app/Preferences.h"
#include "platform/Diagnostics.h"
#include "platform/EventLog.h"
#include "platform/FileSystem.h"
#include "platform/System.h"

namespace glance {

// The command line that starts this copy at logon: its full path in quotes.
std::wstring startupCommandLine(System& system);

// Writes the program's value, or removes it when there is none.
void putStartupEntry(System& system, const std::optional<std::wstring>& commandLine);

// When "Load this software on Windows startup" is stored as on and the value
// names a program file that is certainly gone (the program was moved), points
// the value at this copy. Certainly gone: the value's command line, expanded
// as the logon start expands it, names the file by an absolute path, the
// volume of that path is there, and the file is not. Every other value is
// left exactly as it is: a missing one (removed on purpose), one that names a
// file still there (another copy), one with arguments, a bare name, a path
// on a drive or share that is away, one that cannot be checked, one whose
// volume does not answer within a few seconds; and so is any value while the
// choice is not on. The files are checked off the window's thread and the
// value is rewritten later, between messages, only if it has not changed
// meanwhile; a failure then is noted in diagnostics. Throws when the platform
// fails before the check. A repair is also reported to the administrator's
// event log. system, preferences, diagnostics and events must outlive the
// check (they are the program's own).
void repairStartupEntry(System& system, FileSystem& files, Preferences& preferences, Diagnostics& diagnostics,
                        EventLog& events);

struct StartupEntryCommand {
    // The program files the line may name, in the order Windows tries them:
    // the path in quotes; for an unquoted line, each part up to a blank and
    // then the whole line. None when the line is blank or its quote is never
    // closed.
    std::vector<std::wstring> programs;
    // Text after the quoted program: arguments someone chose to add.
    bool hasArguments = false;
};

StartupEntryCommand readStartupEntryCommand(std::wstring_view commandLine);

// The root of the volume that an absolute path lies on: "C:\" for a drive
// path, "\\server\share\" for a network path ("/" counts as "\"). None for a
// path that is not absolute ("GlanceRefresher.exe", "tools\x.exe", "\x.exe",
// "C:x.exe", "%LOCALAPPDATA%\x.exe"), a device or "\\?\" path, and a name
// that no file can have (a wildcard, a control character, a colon past the
// drive, any of < > " |).
std::optional<std::wstring> volumeOf(std::wstring_view path);

}  // namespace glance
