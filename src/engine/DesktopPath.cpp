#include "engine/DesktopPath.h"

#include <algorithm>

namespace glance {

namespace {

bool isSeparator(wchar_t c) {
    return c == L'\\' || c == L'/';
}

bool isDriveLetter(wchar_t c) {
    return (c >= L'A' && c <= L'Z') || (c >= L'a' && c <= L'z');
}

// C:\..., \\server\share..., or \\?\...
bool isAbsolute(std::wstring_view path) {
    if (path.size() >= 3 && isDriveLetter(path[0]) && path[1] == L':' && isSeparator(path[2])) return true;
    if (path.size() < 3 || !isSeparator(path[0]) || !isSeparator(path[1])) return false;
    if (path.size() >= 4 && path[2] == L'?' && isSeparator(path[3])) return path.size() > 4;
    // A server name, a separator, and a share name.
    const std::wstring_view rest = path.substr(2);
    const auto separator = std::find_if(rest.begin(), rest.end(), isSeparator);
    return separator != rest.begin() && separator != rest.end() && separator + 1 != rest.end() &&
           !isSeparator(*(separator + 1));
}

}  // namespace

std::optional<std::wstring> folderPathToCount(std::wstring_view shellPath) {
    if (shellPath.empty() || shellPath.size() > kMaxFolderPathChars) return std::nullopt;
    if (std::any_of(shellPath.begin(), shellPath.end(), [](wchar_t c) { return c < L' '; }))
        return std::nullopt;
    if (!isAbsolute(shellPath)) return std::nullopt;
    while (!shellPath.empty() && isSeparator(shellPath.back())) shellPath.remove_suffix(1);
    std::wstring path(shellPath);
    path += L'\\';
    return path;
}

std::optional<std::wstring> desktopFolderPath(Shell& shell, std::int32_t folderId) {
    const std::optional<std::wstring> path = shell.specialFolderPath(folderId);
    if (!path) return std::nullopt;
    return folderPathToCount(*path);
}

std::wstring parentFolder(const std::wstring& path) {
    std::wstring parent = path;
    while (!parent.empty() && parent.back() == L'\\') parent.pop_back();
    const auto separator = parent.rfind(L'\\');
    if (separator == std::wstring::npos || separator < 2) return {};
    return parent.substr(0, separator + 1);
}

}  // namespace glance
