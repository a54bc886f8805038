#include "platform/win32/LazyImports.h"

#include <cstddef>
#include <cstring>
#include <iterator>
#include <string>

#include "core/Error.h"

namespace glance::win32::lazy {

namespace {

struct Row {
    Dll dll;
    bool needed;
    const char* name;
};
constexpr Row kRows[] = {
#define GLANCE_LAZY_ROW(dll, name, needed) {Dll::dll, needed, #name},
    GLANCE_LAZY_IMPORTS(GLANCE_LAZY_ROW)
#undef GLANCE_LAZY_ROW
};
constexpr const char* kDllNames[] = {
#define GLANCE_LAZY_DLL_NAME(dll) #dll,
    GLANCE_LAZY_DLLS(GLANCE_LAZY_DLL_NAME)
#undef GLANCE_LAZY_DLL_NAME
};
static_assert(std::size(kDllNames) == static_cast<std::size_t>(Dll::count));

// Written on the GUI thread only; the DLLs are never freed, their functions
// are called until the process ends.
Imports table;
bool loaded[static_cast<std::size_t>(Dll::count)];

HMODULE loadFromSystem32(Dll dll) {
    // The System32 path, and within it the file name alone.
    wchar_t path[MAX_PATH + 24];
    UINT end = GetSystemDirectoryW(path, MAX_PATH);
    if (end == 0 || end >= MAX_PATH) return nullptr;
    path[end++] = L'\\';
    const wchar_t* const file = path + end;
    for (const char* c = kDllNames[static_cast<std::size_t>(dll)]; *c != '\0'; ++c) path[end++] = *c;
    for (const wchar_t c : {L'.', L'd', L'l', L'l', L'\0'}) path[end++] = c;
    const HMODULE module = LoadLibraryExW(file, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
    // The one fallback: Windows 7 without KB2533623 does not know the flag,
    // and there the full System32 path is the same rule. comctl32 goes by
    // its name, which the side-by-side store answers before any folder.
    if (module != nullptr || GetLastError() != ERROR_INVALID_PARAMETER) return module;
    return LoadLibraryW(dll == Dll::comctl32 ? file : path);
}

}  // namespace

const Imports& load(Dll dll) {
    const auto index = static_cast<std::size_t>(dll);
    if (loaded[index]) return table;
    const HMODULE module = loadFromSystem32(dll);
    if (module == nullptr)
        throw PlatformError(systemErrorCode(GetLastError()),
                            std::string(errtext::kFileNotFound) + ": " + kDllNames[index]);
    // Resolved together first, so that a missing entry point leaves the table as it was.
    FARPROC found[std::size(kRows)] = {};
    for (std::size_t i = 0; i < std::size(kRows); ++i) {
        if (kRows[i].dll != dll) continue;
        found[i] = GetProcAddress(module, kRows[i].name);
        if (found[i] == nullptr && kRows[i].needed)
            throw PlatformError(
                systemErrorCode(GetLastError()),
                std::string("Can't find DLL entry point ") + kRows[i].name + " in " + kDllNames[index]);
    }
    // The table's members are the rows, in order, each one pointer.
    static_assert(sizeof(Imports) == sizeof found);
    for (std::size_t i = 0; i < std::size(kRows); ++i)
        if (kRows[i].dll == dll)
            std::memcpy(reinterpret_cast<char*>(&table) + i * sizeof(FARPROC), &found[i], sizeof(FARPROC));
    loaded[index] = true;
    return table;
}

}  // namespace glance::win32::lazy
