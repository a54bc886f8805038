// The main window: a plain top-level window with the controls of a
// WindowLayout as child windows, laid out from twips at the window's DPI
// (lower where the window would not fit its screen),
// and one window procedure (Win32WindowProc.cpp) that routes every event to
// the WindowEvents sink.
#pragma once

#include <windows.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/Ui.h"
#include "platform/win32/UniqueHandle.h"
#include "platform/win32/Win32Colour.h"
#include "platform/win32/Win32Dpi.h"
#include "platform/win32/Win32LockNotes.h"
#include "platform/win32/Win32UiControls.h"
#include "platform/win32/Win32WindowLayout.h"

namespace glance::win32 {

class Win32Window : public Window {
public:
    Win32Window(WindowLayout design, WindowEvents& events);
    ~Win32Window() override;  // its window and events make it neither copyable nor movable

    HWND window() const { return window_.get(); }
    // A control's child window; null for the controls that have none (timer...).
    HWND controlWindow(ControlId id);
    int dpi() const { return dpi_; }

    WindowHandle handle() override { return reinterpret_cast<WindowHandle>(window_.get()); }
    std::string caption() override { return caption_; }
    void setCaption(const std::string& caption) override;
    void setIcon(const Picture& icon) override;
    Colour backColor() override { return backColor_; }
    void setBackColor(Colour colour) override;
    int mousePointer() override { return pointer_; }
    void setMousePointer(int pointer) override;
    Picture mouseIcon() override { return mouseIcon_; }
    void setMouseIcon(const Picture& picture) override;
    int windowState() override { return state_; }
    void setWindowState(int state) override;
    bool visible() override { return IsWindowVisible(window_.get()) != FALSE; }
    void setVisible(bool visible) override;
    void setFocus() override;
    // Also lays the window out again when the screen it is on no longer
    // holds it at its present scale, or holds it larger again.
    void bringOntoScreen() override;

    ButtonControl& button(ControlId id) override;
    CheckBoxControl& checkBox(ControlId id) override;
    TimerControl& timer(ControlId id) override;

    std::vector<std::pair<ControlId, ControlKind>> controls() override;
    void setControlBackColor(ControlId id, Colour colour) override;
    Colour controlBackColor(ControlId id) override;
    void applySkin(const SkinColours& colours) override;
    std::optional<SkinColours> skin() override { return skin_; }
    void setPaint(const WindowPaint& paint) override;
    void setDescription(ControlId id, const std::string& text) override;
    void announce(ControlId id, const std::string& text) override;
    void setLocked(ControlId id, const std::string& reason) override;

    void show() override;

private:
    // One control of the layout and what stands for it: a child window of
    // its own kind, a timer, or nothing (the tray icon and the skin engine
    // draw nothing in the window).
    struct Control {
        explicit Control(const ControlLayout& layout) : design(layout) {}
        const ControlLayout& design;  // in design_, which never changes
        std::unique_ptr<Win32ChildControl> child;
        std::unique_ptr<Win32Timer> timer;
        std::optional<Colour> back;  // its BackColor, for the kinds that have one
        ControlPaint paint;          // what it is painted in
        ColourBrush brush;           // of paint.back, for the system's own drawing
        std::string ownDescription;  // what the logic says of it (UTF-8)
        std::string lockReason;      // why a policy holds it; empty while free

        HWND window() const { return child ? child->window() : nullptr; }
    };

    static LRESULT CALLBACK windowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) noexcept;
    LRESULT handle(UINT message, WPARAM wParam, LPARAM lParam);
    void describe(Control& control);

    void createControls();
    void layout(int dpi, const RECT* suggested);
    int fittingLayoutDpi(int dpi, const RECT* suggested) const;
    void orderByTabIndex();
    void cutFramesAroundHeldControls();
    // Moves the window wholly into its monitor's work area (whole), or only
    // where its caption can be reached.
    void fitOnScreen(bool whole);
    void applyColours();
    // Raises an event of the window once it is fully built.
    void raise(void (WindowEvents::*event)()) {
        if (dispatching_) (events_.*event)();
    }
    void applyIcon();
    void showResized(int showCommand);
    void refreshCursor() const;
    HCURSOR cursorForPointer() const;
    Control* findControl(ControlId id);
    Control* findControl(HWND window);
    // The control when it has what a call needs (a child window, a back
    // colour...); else the property is not there.
    Control& controlWith(ControlId id, bool (*has)(const Control&));

    UniqueHwnd window_;  // first: destroyed after every control it holds
    WindowLayout design_;
    WindowEvents& events_;
    bool dispatching_ = false;  // no events until the window is fully built
    std::string caption_;
    Colour backColor_;
    WindowPaint paint_;
    ColourBrush back_;             // of paint_.back
    int dpi_ = kDefaultDpi;        // the window's, which its frame and caption are drawn at
    int layoutDpi_ = kDefaultDpi;  // the controls' and fonts', lower where the screen is too small
    UniqueHfont font_;
    std::vector<Control> controls_;  // in creation order
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
    bool userMoving_ = false;                    // inside the system's move or size loop
    std::unique_ptr<Win32LockNotes> lockNotes_;  // made when a control is first locked
};

}  // namespace glance::win32
