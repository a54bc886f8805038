#include "app/StartupEntryCommand.h"

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

}  // namespace glance
