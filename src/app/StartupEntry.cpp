#include "app/StartupEntry.h"

#include <memory>
#include <utility>
#include <vector>

#include "core/Error.h"
#include "core/Product.h"

namespace glance {

namespace {

bool isBlank(wchar_t c) {
    return c == L' ' || c == L'\t';
}

bool isSeparator(wchar_t c) {
    return c == L'\\' || c == L'/';
}

bool isDriveLetter(wchar_t c) {
    return (c >= L'A' && c <= L'Z') || (c >= L'a' && c <= L'z');
}

bool canBeInName(wchar_t c) {
    return c >= 0x20 && std::wstring_view(L"<>:\"|?*").find(c) == std::wstring_view::npos;
}

// The length of the part of a network path up to the next separator.
std::size_t partLength(std::wstring_view path, std::size_t start) {
    std::size_t end = start;
    while (end < path.size() && !isSeparator(path[end])) ++end;
    return end - start;
}

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

StartupEntryCommand readStartupEntryCommand(std::wstring_view line) {
    StartupEntryCommand command;
    std::size_t start = 0;
    while (start < line.size() && isBlank(line[start])) ++start;
    std::size_t end = line.size();
    while (end > start && isBlank(line[end - 1])) --end;
    if (start == end) return command;
    if (line[start] == L'"') {
        const std::size_t close = line.find(L'"', start + 1);
        if (close == std::wstring_view::npos || close >= end || close == start + 1) return command;
        command.programs.emplace_back(line.substr(start + 1, close - start - 1));
        command.hasArguments = close + 1 < end;
        return command;
    }
    for (std::size_t i = start + 1; i < end; ++i)
        if (isBlank(line[i]) && !isBlank(line[i - 1]))
            command.programs.emplace_back(line.substr(start, i - start));
    command.programs.emplace_back(line.substr(start, end - start));
    return command;
}

std::optional<std::wstring> volumeOf(std::wstring_view path) {
    std::wstring root;
    if (path.size() >= 3 && isDriveLetter(path[0]) && path[1] == L':' && isSeparator(path[2])) {
        root = std::wstring(path.substr(0, 2)) + L'\\';
    } else if (path.size() >= 2 && isSeparator(path[0]) && isSeparator(path[1])) {
        const std::size_t server = partLength(path, 2);
        if (server == 0 || 2 + server >= path.size()) return std::nullopt;
        const std::size_t share = partLength(path, 3 + server);
        if (share == 0) return std::nullopt;
        const std::wstring_view serverName = path.substr(2, server);
        // "\\.\" and "\\?\" name devices and raw paths, not a share.
        if (serverName == L"." || serverName == L"?") return std::nullopt;
        root =
            L"\\\\" + std::wstring(serverName) + L'\\' + std::wstring(path.substr(3 + server, share)) + L'\\';
    } else {
        return std::nullopt;
    }
    for (std::size_t i = 2; i < path.size(); ++i)
        if (!isSeparator(path[i]) && !canBeInName(path[i])) return std::nullopt;
    return root;
}

std::wstring startupCommandLine(System& system) {
    return L"\"" + system.programPath() + L"\"";
}

void putStartupEntry(System& system, const std::optional<std::wstring>& commandLine) {
    if (commandLine)
        system.setStartupEntry(kProductName, *commandLine);
    else
        system.removeStartupEntry(kProductName);
}

void repairStartupEntry(System& system, FileSystem& files, Preferences& preferences, Diagnostics& diagnostics,
                        EventLog& events) {
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
