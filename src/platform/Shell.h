// The Windows shell as the logic needs it: folder paths, the change
// notification and starting a program.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "platform/ChangeWatch.h"

namespace glance {

class Shell {
public:
    virtual ~Shell() = default;

    // The file-system path of a shell folder as the shell gives it now (a
    // moved folder at its new place, a missing one still by its path); none
    // when the shell cannot give one.
    virtual std::optional<std::wstring> specialFolderPath(std::int32_t folderId) = 0;

    // A watch on where the shell folders are, the user's own and those shared
    // by all users: it fires when one of them may have moved. Throws
    // PlatformError when it cannot be set up.
    virtual std::unique_ptr<ChangeWatch> watchFolderLocations() = 0;

    // SHChangeNotify(eventId, flags, null, null). Throws when the shell's entry
    // point cannot be reached.
    virtual void changeNotify(std::int32_t eventId, std::uint32_t flags) = 0;

    // Starts a process from a command line with a show-window state; not waited for.
    virtual void startProcess(const std::string& commandLine, int showState) = 0;
};

}  // namespace glance
