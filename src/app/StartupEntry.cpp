#include "app/StartupEntry.h"

#include <utility>
#include <vector>

#include "app/StartupEntryCommand.h"
#include "core/Product.h"
#include "core/StepTrap.h"

namespace glance {

namespace {

// How long the volumes may take to answer. A local disk answers at once and a
// connected share within a second; a server that is down keeps the system
// waiting far longer, and the value is then left alone.
constexpr double kCheckSeconds = 4;

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

void repairStartupEntry(System& system, FileSystem& files, Preferences& preferences,
                        Diagnostics& diagnostics) {
    if (!preferences.startWithWindows()) return;
    const std::optional<std::wstring> entry = system.startupEntryCommandLine(kProductName);
    if (!entry) return;
    const StartupEntryCommand command = readStartupEntryCommand(*entry);
    if (command.programs.empty() || command.hasArguments) return;
    // Each program's volume, then the program: a program without a volume
    // (a bare name, a relative path) cannot be certainly gone.
    std::vector<std::wstring> paths;
    for (const std::wstring& program : command.programs) {
        const std::optional<std::wstring> volume = volumeOf(program);
        if (!volume) return;
        paths.push_back(*volume);
        paths.push_back(program);
    }
    files.askFileStates(std::move(paths), kCheckSeconds,
                        [&system, &diagnostics, read = *entry](std::vector<FileState> states) {
                            // Only a file missing from a volume that is there is gone: a
                            // drive that is away (an unplugged stick, a network drive not
                            // connected) says nothing of the file, and neither does a path
                            // the system cannot check.
                            for (std::size_t i = 0; i + 1 < states.size(); i += 2)
                                if (states[i] != FileState::Present || states[i + 1] != FileState::Absent)
                                    return;
                            StepTrap::noting(diagnostics, "start-up entry repair").step(0, [&] {
                                // The user may have unticked or ticked the choice meanwhile.
                                if (system.startupEntryCommandLine(kProductName) != read) return;
                                system.setStartupEntry(kProductName, startupCommandLine(system));
                            });
                        });
}

}  // namespace glance
