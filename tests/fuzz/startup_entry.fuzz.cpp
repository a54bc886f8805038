// The command line of a start-up entry, as anyone may have written it in the
// registry: every program it may name lies inside the line, a quoted one is
// the only one, and a volume is always the start of its path with one
// trailing backslash.
#include <cstdint>
#include <cstring>
#include <string>

#include "Invariant.h"
#include "app/StartupEntry.h"

using glance::fuzz::require;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::wstring line(size / 2, L'\0');
    for (std::size_t i = 0; i < line.size(); ++i)
        line[i] = static_cast<wchar_t>(data[2 * i] | data[2 * i + 1] << 8);

    const glance::StartupEntryCommand command = glance::readStartupEntryCommand(line);
    require(!command.hasArguments || command.programs.size() == 1, "arguments follow only a quoted program");
    for (const std::wstring& program : command.programs) {
        require(!program.empty() && line.find(program) != std::wstring::npos,
                "a program is a part of the line");
        const std::optional<std::wstring> volume = glance::volumeOf(program);
        if (!volume) continue;
        require(volume->size() >= 3 && volume->size() <= program.size() + 1 && volume->back() == L'\\',
                "a volume is a root with one trailing backslash");
        const std::wstring_view head(program.data(), volume->size() - 1);
        // "/" counts as "\": compare with the separators made alike.
        for (std::size_t i = 0; i < head.size(); ++i) {
            const wchar_t a = head[i] == L'/' ? L'\\' : head[i];
            require(a == (*volume)[i], "a volume is the start of its path");
        }
    }
    return 0;
}
