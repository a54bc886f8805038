#include "platform/win32/LazyImports.h"

#include <string>

#include "core/Error.h"

namespace glance::win32::lazy {

namespace {

// A system DLL loaded from System32 and never freed: its functions are
// called until the process ends.
class SystemLibrary {
public:
    SystemLibrary(const wchar_t* file, const char* name)
        : module_(LoadLibraryExW(file, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32)), name_(name) {
        // Windows 7 without KB2533623 does not know the flag. There the name
        // alone is as safe: shell32 is a known DLL and comctl32 comes from the
        // side-by-side store.
        if (module_ == nullptr && GetLastError() == ERROR_INVALID_PARAMETER) module_ = LoadLibraryW(file);
        if (module_ == nullptr)
            throw PlatformError(systemErrorCode(GetLastError()),
                                std::string(errtext::kFileNotFound) + ": " + name);
    }

    // An entry point that the program cannot do without.
    template <class Function>
    void get(Function& entry, const char* name) const {
        entry = entryPointOrNull<Function>(module_, name);
        if (entry == nullptr)
            throw PlatformError(systemErrorCode(GetLastError()),
                                std::string("Can't find DLL entry point ") + name + " in " + name_);
    }
    HMODULE module() const { return module_; }

private:
    HMODULE module_;
    const char* name_;
};

// ole32, loaded once from System32 at its first use: most runs never need
// COM, and the exe does not map ole32, combase and rpcrt4 at every start.
HMODULE ole32() {
    static const HMODULE module = [] {
        const HMODULE found = LoadLibraryExW(L"ole32.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
        return found != nullptr ? found : LoadLibraryW(L"ole32.dll");
    }();
    return module;
}

}  // namespace

Shell32::Shell32() {
    const SystemLibrary dll(L"shell32.dll", "shell32");
    dll.get(SHGetKnownFolderPath, "SHGetKnownFolderPath");
    dll.get(SHGetFolderPathW, "SHGetFolderPathW");
    dll.get(SHGetSpecialFolderLocation, "SHGetSpecialFolderLocation");
    dll.get(SHGetPathFromIDListW, "SHGetPathFromIDListW");
    dll.get(SHChangeNotify, "SHChangeNotify");
    dll.get(Shell_NotifyIconA, "Shell_NotifyIconA");
}

Comctl32::Comctl32() {
    const SystemLibrary dll(L"comctl32.dll", "comctl32");
    dll.get(SetWindowSubclass, "SetWindowSubclass");
    dll.get(RemoveWindowSubclass, "RemoveWindowSubclass");
    dll.get(DefSubclassProc, "DefSubclassProc");
    dll.get(InitCommonControlsEx, "InitCommonControlsEx");
    LoadIconWithScaleDown =
        entryPointOrNull<decltype(LoadIconWithScaleDown)>(dll.module(), "LoadIconWithScaleDown");
}

// A failed load throws out of the static's initialisation, and is tried
// again at the next call.
const Shell32& shell32() {
    static const Shell32 library;
    return library;
}

const Comctl32& comctl32() {
    static const Comctl32 library;
    return library;
}

void CoTaskMemFree(void* memory) noexcept {
    // A memory the shell handed over means ole32 (or the allocator behind
    // it) is there to load.
    static const auto free = entryPointOrNull<void(WINAPI*)(void*)>(ole32(), "CoTaskMemFree");
    if (free != nullptr && memory != nullptr) free(memory);
}

HRESULT CoInitializeEx(void* reserved, DWORD flags) {
    static const auto initialize = entryPointOrNull<decltype(&::CoInitializeEx)>(ole32(), "CoInitializeEx");
    return initialize != nullptr ? initialize(reserved, flags) : E_NOTIMPL;
}

HRESULT CoCreateInstance(REFCLSID type, IUnknown* outer, DWORD context, REFIID wanted, void** made) {
    static const auto create = entryPointOrNull<decltype(&::CoCreateInstance)>(ole32(), "CoCreateInstance");
    return create != nullptr ? create(type, outer, context, wanted, made) : E_NOTIMPL;
}

HRESULT RegisterApplicationRestart(PCWSTR commandLine, DWORD flags) {
    const auto function =
        entryPointOrNull<HRESULT(WINAPI*)(PCWSTR, DWORD)>(L"kernel32.dll", "RegisterApplicationRestart");
    return function != nullptr ? function(commandLine, flags) : E_NOTIMPL;
}

}  // namespace glance::win32::lazy
