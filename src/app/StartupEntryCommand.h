// How the logon start reads the command line of a start-up entry: which
// program files it may name, whether arguments follow, and the volume a path
// lies on. Pure text work, so that any text (the registry holds what anyone
// wrote there) can be tried against it.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace glance {

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
