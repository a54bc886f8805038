#include "app/StartupEntry.h"

#include "app/StartupEntryCommand.h"
#include "core/Product.h"

namespace glance {

namespace {

// Only a file missing from a volume that is there is gone: a drive that is
// away (an unplugged stick, a network drive not connected) says nothing of
// the file, and neither does a path the system cannot check.
bool certainlyGone(FileSystem& files, const std::wstring& path) {
    const std::optional<std::wstring> volume = volumeOf(path);
    return volume && files.fileState(*volume) == FileState::Present &&
           files.fileState(path) == FileState::Absent;
}

}  // namespace

std::wstring startupCommandLine(System& system) {
    return L"\"" + system.programPath() + L"\"";
}

void putStartupEntry(System& system, const std::optional<std::wstring>& commandLine) {
    if (commandLine)
        system.setStartupEntry(kProductName, *commandLine);
    else
        system.removeStartupEntry(kProductName);
}

void repairStartupEntry(System& system, FileSystem& files, Preferences& preferences, EventLog& events) {
    if (!preferences.startWithWindows()) return;
    const std::optional<std::wstring> entry = system.startupEntryCommandLine(kProductName);
    if (!entry) return;
    const StartupEntryCommand command = readStartupEntryCommand(*entry);
    if (command.programs.empty() || command.hasArguments) return;
    for (const std::wstring& program : command.programs)
        if (!certainlyGone(files, program)) return;
    const std::wstring repaired = startupCommandLine(system);
    system.setStartupEntry(kProductName, repaired);
    events.report(AdminEvent::StartupEntryRepaired, repaired);
}

}  // namespace glance
