#include "platform/win32/Win32LockNotes.h"

#include "core/Error.h"
#include "platform/win32/LazyImports.h"

namespace glance::win32 {

namespace {

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
    TTTOOLINFOW tool = toolFor(parent_, control);
    if (tips_) SendMessageW(tips_.get(), TTM_DELTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
    if (text.empty()) return;
    if (!tips_) {
        const INITCOMMONCONTROLSEX classes{sizeof(classes), ICC_WIN95_CLASSES};
        lazy::comctl32().InitCommonControlsEx(&classes);
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
