#include "app/StartupEntry.h"

#include <vector>

#include "core/Error.h"
#include "core/Product.h"

namespace glance {

namespace {

enum class FileState { Present, Gone, Unknown };

// Only "not found" says the file is gone; a drive that refuses access or is
// not ready says nothing about it.
FileState fileState(FileSystem& files, const std::wstring& path) {
    try {
        files.lastModified(path);
        return FileState::Present;
    } catch (const PlatformError& error) {
        return error.description() == errtext::kFileNotFound ? FileState::Gone : FileState::Unknown;
    }
}

bool isBlank(wchar_t c) {
    return c == L' ' || c == L'\t';
}

// The program files a logon command line may name, as Windows reads it: the
// path in quotes; for an unquoted line, each part up to a space and the
// whole line, as Windows tries them in turn. None when the line is empty or
// its quote is never closed.
std::vector<std::wstring> programFilesNamedBy(const std::wstring& commandLine) {
    std::size_t start = 0;
    while (start < commandLine.size() && isBlank(commandLine[start])) ++start;
    std::size_t end = commandLine.size();
    while (end > start && isBlank(commandLine[end - 1])) --end;
    if (start == end) return {};
    if (commandLine[start] == L'"') {
        const std::size_t close = commandLine.find(L'"', start + 1);
        if (close == std::wstring::npos || close == start + 1) return {};
        return {commandLine.substr(start + 1, close - start - 1)};
    }
    std::vector<std::wstring> files;
    for (std::size_t i = start + 1; i < end; ++i)
        if (isBlank(commandLine[i]) && !isBlank(commandLine[i - 1]))
            files.push_back(commandLine.substr(start, i - start));
    files.push_back(commandLine.substr(start, end - start));
    return files;
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

void repairStartupEntry(System& system, FileSystem& files, Preferences& preferences) {
    if (!preferences.startWithWindows()) return;
    const std::optional<std::wstring> entry = system.startupEntry(kProductName);
    if (!entry) return;
    const std::vector<std::wstring> named = programFilesNamedBy(*entry);
    if (named.empty()) return;
    for (const std::wstring& file : named)
        if (fileState(files, file) != FileState::Gone) return;
    system.setStartupEntry(kProductName, startupCommandLine(system));
}

}  // namespace glance
