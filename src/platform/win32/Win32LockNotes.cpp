#include "platform/win32/Win32LockNotes.h"

// After windows.h, which it builds on.
#include <oleacc.h>

#include "core/Error.h"
#include "platform/win32/LazyImports.h"

namespace glance::win32 {

namespace {

// The accessibility property service, created on first use on the GUI
// thread; ole32 is loaded from System32 only then. Null where the system has
// none: the tooltip then still tells the reason.
IAccPropServices* propertyService() {
    static IAccPropServices* service = [] {
        IAccPropServices* created = nullptr;
        HMODULE ole32 = LoadLibraryExW(L"ole32.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
        if (ole32 == nullptr) return created;
        const auto initialize = reinterpret_cast<decltype(&::CoInitializeEx)>(
            reinterpret_cast<void*>(GetProcAddress(ole32, "CoInitializeEx")));
        const auto create = reinterpret_cast<decltype(&::CoCreateInstance)>(
            reinterpret_cast<void*>(GetProcAddress(ole32, "CoCreateInstance")));
        if (initialize == nullptr || create == nullptr ||
            FAILED(initialize(nullptr, COINIT_APARTMENTTHREADED)))
            return created;
        if (FAILED(create(CLSID_AccPropServices, nullptr, CLSCTX_INPROC_SERVER, IID_IAccPropServices,
                          reinterpret_cast<void**>(&created))))
            created = nullptr;
        return created;
    }();
    return service;
}

void describe(HWND control, const std::wstring& text) {
    IAccPropServices* service = propertyService();
    if (service == nullptr) return;
    if (text.empty())
        service->ClearHwndProps(control, OBJID_CLIENT, CHILDID_SELF, &PROPID_ACC_DESCRIPTION, 1);
    else
        service->SetHwndPropStr(control, OBJID_CLIENT, CHILDID_SELF, PROPID_ACC_DESCRIPTION, text.c_str());
}

TTTOOLINFOW toolFor(HWND parent, HWND control) {
    TTTOOLINFOW tool{};
    tool.cbSize = sizeof(tool);
    tool.uFlags = TTF_SUBCLASS;
    tool.hwnd = parent;
    tool.uId = reinterpret_cast<UINT_PTR>(control);
    return tool;
}

}  // namespace

void Win32LockNotes::set(HWND control, const std::wstring& text) {
    describe(control, text);
    TTTOOLINFOW tool = toolFor(parent_, control);
    if (tips_) SendMessageW(tips_.get(), TTM_DELTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
    if (text.empty()) return;
    if (!tips_) {
        const INITCOMMONCONTROLSEX classes{sizeof(classes), ICC_WIN95_CLASSES};
        lazy::InitCommonControlsEx(&classes);
        tips_.reset(CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr,
                                    WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX, CW_USEDEFAULT, CW_USEDEFAULT,
                                    CW_USEDEFAULT, CW_USEDEFAULT, parent_, nullptr, GetModuleHandleW(nullptr),
                                    nullptr));
        if (!tips_) throw PlatformError(systemErrorCode(GetLastError()));
    }
    tool.lpszText = const_cast<wchar_t*>(text.c_str());  // the tip keeps a copy
    if (!SendMessageW(tips_.get(), TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool)))
        throw PlatformError(errtext::kOutOfMemory);
    place(control);
}

void Win32LockNotes::relayout() {
    TTTOOLINFOW tool = toolFor(parent_, nullptr);
    for (WPARAM i = 0; SendMessageW(tips_.get(), TTM_ENUMTOOLSW, i, reinterpret_cast<LPARAM>(&tool)); ++i)
        place(reinterpret_cast<HWND>(tool.uId));
}

void Win32LockNotes::place(HWND control) {
    TTTOOLINFOW tool = toolFor(parent_, control);
    GetWindowRect(control, &tool.rect);
    MapWindowPoints(nullptr, parent_, reinterpret_cast<POINT*>(&tool.rect), 2);
    SendMessageW(tips_.get(), TTM_NEWTOOLRECTW, 0, reinterpret_cast<LPARAM>(&tool));
}

}  // namespace glance::win32
