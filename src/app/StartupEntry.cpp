#include "app/StartupEntry.h"

#include <memory>
#include <utility>
#include <vector>

#include "app/StartupEntryCommand.h"
#include "core/Error.h"
#include "core/Product.h"

namespace glance {

namespace {

// How long the volumes may take to answer. A local disk answers at once and a
// connected share within a second; a server that is down keeps the system
// waiting far longer, and the value is then left alone.
constexpr double kCheckSeconds = 4;
// As the load sequence names the repair in diagnostics.
constexpr const char* kRepairOperation = "start-up entry repair";

// Points the value at this copy when the states of each program's volume and
// of the program (in pairs) say that every program is certainly gone: only a
// file missing from a volume that is there is gone. A drive that is away (an
// unplugged stick, a network drive not connected) says nothing of the file,
// and neither does a path the system cannot check.
class RepairWhenGone : public FileStatesAnswer {
public:
    RepairWhenGone(System& system, Diagnostics& diagnostics, EventLog& events, std::wstring read)
        : system_(system), diagnostics_(diagnostics), events_(events), read_(std::move(read)) {}

    void answer(const std::vector<FileState>& states) override {
        for (std::size_t i = 0; i + 1 < states.size(); i += 2)
            if (states[i] != FileState::Present || states[i + 1] != FileState::Absent) return;
        try {
            // The user may have unticked or ticked the choice meanwhile.
            if (system_.startupEntryCommandLine(kProductName) != read_) return;
            const std::wstring repaired = startupCommandLine(system_);
            system_.setStartupEntry(kProductName, repaired);
            events_.report(AdminEvent::StartupEntryRepaired, repaired);
        } catch (const PlatformError& error) {
            diagnostics_.noteFailure(kRepairOperation, error.code());
        }
    }

private:
    System& system_;
    Diagnostics& diagnostics_;
    EventLog& events_;
    const std::wstring read_;  // the value's command line when it was read
};

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
                        Diagnostics& diagnostics, EventLog& events) {
    if (!preferences.startWithWindows()) return;
    const std::optional<std::wstring> entry = system.startupEntryCommandLine(kProductName);
    if (!entry) return;
    const StartupEntryCommand command = readStartupEntryCommand(*entry);
    if (command.programs.empty() || command.hasArguments) return;
    // Each program's volume, then the program: a program without a volume
    // (a bare name, a relative path) cannot be certainly gone.
    std::vector<std::wstring> paths(2 * command.programs.size());
    for (std::size_t i = 0; i < command.programs.size(); ++i) {
        std::optional<std::wstring> volume = volumeOf(command.programs[i]);
        if (!volume) return;
        paths[2 * i] = std::move(*volume);
        paths[2 * i + 1] = command.programs[i];
    }
    files.askFileStates(std::move(paths), kCheckSeconds,
                        std::make_unique<RepairWhenGone>(system, diagnostics, events, *entry));
}

}  // namespace glance
