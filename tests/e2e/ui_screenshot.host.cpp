// Shows the main window as the program builds it, with the program icon and
// the product caption, so that a screenshot can be taken of it. Arguments:
// "skin" paints it with the skin colours; "contrast" as in high contrast; "hover" puts the pointer on the
// second button; "focus" gives the first button the keyboard focus.
#include <windows.h>

#include <string>

#include "controller/MainWindowLayout.h"
#include "controller/WindowColours.h"
#include "platform/win32/Win32Ui.h"
#include "platform/win32/Win32Window.h"

namespace {

struct NoEvents : glance::WindowEvents {
    void onQueryUnload() override { PostQuitMessage(0); }
    void onResize() override {}
    void onMouseMove(glance::ControlId) override {}
    void onClick(glance::ControlId) override {}
    void onTimer(glance::ControlId) override {}
};

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    const std::wstring arguments = GetCommandLineW();
    glance::win32::Win32Ui ui;
    NoEvents events;
    auto window = ui.createWindow(glance::mainWindowLayout(), events);
    auto& main = static_cast<glance::win32::Win32Window&>(*window);
    window->setCaption("Lumenfold Live Shell Glance Refresher Utility");
    window->setIcon(ui.programIcon());
    if (arguments.find(L"skin") != std::wstring::npos) window->applySkin(glance::SkinColours{});
    const bool highContrast = arguments.find(L"contrast") != std::wstring::npos;
    window->setPaint(
        glance::decideWindowPaint(glance::colourSources(*window, glance::mainWindowLayout(), highContrast)));
    window->checkBox(glance::ControlId::StartInTrayBox).setValue(1);
    window->show();
    if (arguments.find(L"focus") != std::wstring::npos)
        SetFocus(main.controlWindow(glance::ControlId::HelpButton));
    if (arguments.find(L"hover") != std::wstring::npos) {
        RECT rect;
        GetWindowRect(main.controlWindow(glance::ControlId::RefreshNowButton), &rect);
        SetCursorPos(rect.left + 40, rect.top + 10);
    }
    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    return 0;
}
