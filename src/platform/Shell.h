// The Windows shell as the logic needs it: folder paths, the change
// notification and starting a program.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "platform/ChangeWatch.h"

namespace glance {

class Shell {
public:
    virtual ~Shell() = default;

    // The raw path text of a shell folder: empty when the shell can give the
    // folder's path neither through its item-ID list nor from its folder
    // list, otherwise all 512 characters of a buffer that was filled with
    // spaces before the shell wrote the path and its NUL into it.
    virtual std::wstring specialFolderRawPath(std::int32_t folderId) = 0;

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
