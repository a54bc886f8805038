#include "platform/win32/LazyImports.h"

#include <cstddef>
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
constexpr const char* kDllNames[] = {"kernel32", "user32",   "shell32",         "comctl32",
                                     "ole32",    "oleaut32", "uiautomationcore"};
static_assert(std::size(kDllNames) == static_cast<std::size_t>(Dll::count));

// Written on the GUI thread only; the DLLs are never freed, their functions
// are called until the process ends.
Imports table;
bool loaded[static_cast<std::size_t>(Dll::count)];

HMODULE loadFromSystem32(const char* name) {
    const std::wstring file = std::wstring(name, name + std::char_traits<char>::length(name)) + L".dll";
    const HMODULE module = LoadLibraryExW(file.c_str(), nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
    // The one fallback: Windows 7 without KB2533623 does not know the flag,
    // and there the full System32 path is the same rule. Not for comctl32,
    // whose version 6 only the plain name finds in the side-by-side store (no
    // folder of the exe comes before it there).
    if (module != nullptr || GetLastError() != ERROR_INVALID_PARAMETER) return module;
    if (file == L"comctl32.dll") return LoadLibraryW(file.c_str());
    wchar_t system[MAX_PATH];
    const UINT length = GetSystemDirectoryW(system, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return nullptr;
    return LoadLibraryW((std::wstring(system, length) + L'\\' + file).c_str());
}

}  // namespace

const Imports& load(Dll dll) {
    const auto index = static_cast<std::size_t>(dll);
    if (loaded[index]) return table;
    const char* dllName = kDllNames[index];
    const HMODULE module = loadFromSystem32(dllName);
    if (module == nullptr)
        throw PlatformError(systemErrorCode(GetLastError()),
                            std::string(errtext::kFileNotFound) + ": " + dllName);
    FARPROC found[std::size(kRows)] = {};
    for (std::size_t i = 0; i < std::size(kRows); ++i) {
        if (kRows[i].dll != dll) continue;
        found[i] = GetProcAddress(module, kRows[i].name);
        if (found[i] == nullptr && kRows[i].needed)
            throw PlatformError(systemErrorCode(GetLastError()), std::string("Can't find DLL entry point ") +
                                                                     kRows[i].name + " in " + dllName);
    }
    std::size_t row = 0;
#define GLANCE_LAZY_TAKE(dll_, name, needed)                                                      \
    if (kRows[row].dll == dll)                                                                    \
        table.name = reinterpret_cast<decltype(table.name)>(reinterpret_cast<void*>(found[row])); \
    ++row;
    GLANCE_LAZY_IMPORTS(GLANCE_LAZY_TAKE)
#undef GLANCE_LAZY_TAKE
    loaded[index] = true;
    return table;
}

}  // namespace glance::win32::lazy
