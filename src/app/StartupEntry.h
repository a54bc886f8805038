// The program's value in the user's list of programs started at logon: the
// command line it holds for this copy, and its repair at start when the
// program was moved after the value was written.
#pragma once

#include <optional>
#include <string>

#include "app/Preferences.h"
#include "platform/FileSystem.h"
#include "platform/System.h"

namespace glance {

// The command line that starts this copy at logon: its full path in quotes.
std::wstring startupCommandLine(System& system);

// Writes the program's value, or removes it when there is none.
void putStartupEntry(System& system, const std::optional<std::wstring>& commandLine);

// When "Load this software on Windows startup" is stored as on and the value
// names a program file that is gone (the program was moved), points the value
// at this copy. A missing value (removed on purpose), a value that names a
// file still there (another copy) or one that cannot be checked, and a choice
// that is not on are left alone. Throws when the platform fails.
void repairStartupEntry(System& system, FileSystem& files, Preferences& preferences);

}  // namespace glance
