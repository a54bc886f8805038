// The path a shell folder look-up gives, whatever it holds: a path to count
// is absolute, ends in exactly one backslash, holds no control character,
// stays within the file functions' limit, and is the given path itself.
#include <cstdint>
#include <string>

#include "Invariant.h"
#include "engine/DesktopPath.h"

using glance::fuzz::require;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::wstring given(size / 2, L'\0');
    for (std::size_t i = 0; i < given.size(); ++i)
        given[i] = static_cast<wchar_t>(data[2 * i] | data[2 * i + 1] << 8);

    const std::optional<std::wstring> path = glance::folderPathToCount(given);
    if (!path) return 0;
    const auto separator = [](wchar_t c) { return c == L'\\' || c == L'/'; };
    require(path->size() >= 3 && path->size() <= glance::kMaxFolderPathChars + 1, "a path is bounded");
    require(path->back() == L'\\' && (path->size() == 3 || !separator((*path)[path->size() - 2])),
            "one trailing backslash");
    for (const wchar_t c : *path) require(c >= 0x20, "no control character");
    const bool drive = (*path)[1] == L':' && separator((*path)[2]);
    require(drive || (separator((*path)[0]) && separator((*path)[1])), "a drive path or a network path");
    // The given path, its trailing separators made one backslash.
    std::wstring_view stem = given;
    while (!stem.empty() && separator(stem.back())) stem.remove_suffix(1);
    require(path->size() == stem.size() + 1 && path->compare(0, stem.size(), stem) == 0,
            "the given path itself");
    return 0;
}
