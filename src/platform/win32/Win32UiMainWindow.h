// The main window: a plain top-level window with the controls of a FormLayout
// as child windows, laid out from twips at the window's DPI, and one window
// procedure that routes every event to the FormEvents sink.
#pragma once

#include <windows.h>

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/Ui.h"
#include "platform/win32/UniqueHandle.h"
#include "platform/win32/Win32PushButton.h"
#include "platform/win32/Win32UiControls.h"
#include "platform/win32/Win32UiGraphics.h"

namespace glance::win32 {

// The window's style: a fixed single border with a minimize box only.
inline constexpr DWORD kMainWindowStyle =
    WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_CLIPCHILDREN;

// Where a control lies in the window's client area, in pixels at a DPI. A
// control inside a container is placed relative to the container's corner.
RECT controlPixelRect(const FormLayout& form, const ControlLayout& control, int dpi);
SIZE clientPixelSize(const FormLayout& form, int dpi);

class Win32MainWindow : public MainWindow {
public:
    Win32MainWindow(const FormLayout& design, FormEvents& events);
    ~Win32MainWindow() override;
    Win32MainWindow(const Win32MainWindow&) = delete;
    Win32MainWindow& operator=(const Win32MainWindow&) = delete;

    HWND window() const { return window_.get(); }
    // A control's child window; null for the controls that have none (timer...).
    HWND controlWindow(std::string_view name) const;
    int dpi() const { return dpi_; }

    WindowHandle handle() override { return reinterpret_cast<WindowHandle>(window_.get()); }
    std::string caption() override { return caption_; }
    void setCaption(const std::string& caption) override;
    void setIcon(const Picture& icon) override;
    Colour backColor() override { return back_.colour(); }
    void setBackColor(Colour colour) override;
    int mousePointer() override { return pointer_; }
    void setMousePointer(int pointer) override;
    Picture mouseIcon() override { return mouseIcon_; }
    void setMouseIcon(const Picture& picture) override;
    int windowState() override { return state_; }
    void setWindowState(int state) override;
    bool visible() override;
    void setVisible(bool visible) override;
    void setFocus() override;

    ButtonControl& button(std::string_view name) override;
    CheckBoxControl& checkBox(std::string_view name) override;
    TimerControl& timer(std::string_view name) override;

    std::vector<std::pair<std::string, ControlKind>> controls() override;
    void setControlBackColor(std::string_view name, Colour colour) override;
    Colour controlBackColor(std::string_view name) override;
    void applySkin(const SkinColours& colours) override;

    void show() override;

private:
    struct Control {
        ControlLayout design;
        int id = 0;
        HWND window = nullptr;
        std::optional<ColourBrush> back;  // only the kinds that have a BackColor
    };

    static LRESULT CALLBACK windowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) noexcept;
    LRESULT handle(UINT message, WPARAM wParam, LPARAM lParam);

    void createControls();
    void layout(int dpi, const RECT* suggested);
    void orderByTabIndex();
    void applyColours();
    void applyIcon();
    void showResized(int showCommand);
    void raiseResize();
    void refreshCursor() const;
    HCURSOR cursorForPointer() const;
    HWND firstTabStop() const;
    Control* findControl(std::string_view name);
    Control* findControl(int id);
    Control* findControl(HWND window);

    UniqueHwnd window_;  // first: destroyed after every control it holds
    FormLayout design_;
    FormEvents& events_;
    bool dispatching_ = false;  // no events until the window is fully built
    std::string caption_;
    ColourBrush back_;
    int dpi_ = kDefaultDpi;
    UniqueHfont font_;
    std::vector<Control> controls_;
    std::map<std::string, std::unique_ptr<Win32PushButton>, std::less<>> buttons_;
    std::map<std::string, std::unique_ptr<Win32CheckBox>, std::less<>> checks_;
    std::map<std::string, std::unique_ptr<Win32Frame>, std::less<>> frames_;
    std::map<std::string, std::unique_ptr<Win32Timer>, std::less<>> timers_;
    std::optional<SkinColours> skin_;
    int pointer_ = kPointerDefault;
    Picture mouseIcon_;
    Picture icon_;
    UniqueHicon smallIcon_;  // copies of icon_ at the window's DPI
    UniqueHicon bigIcon_;
    int state_ = kStateNormal;
    bool shown_ = false;
    int sizeEvents_ = 0;
    HWND lastFocus_ = nullptr;
    bool sessionEnding_ = false;
};

}  // namespace glance::win32
