// The main window and its controls as the handlers see them. The layout comes
// from the logic as a table in twips; the platform turns it into windows and
// raises the window's events, synchronously, to a WindowEvents sink.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/Types.h"

namespace glance {

enum class ControlKind { PushButton, Frame, CheckBox, Timer, TrayControl, SkinEngine };

// The kinds of control that have a "BackColor" of their own.
inline bool takesBackColor(ControlKind kind) {
    return kind == ControlKind::Frame || kind == ControlKind::CheckBox;
}

// The main window's controls, by role. Window stands for the window's own
// background, where pointer moves land when no control is under the pointer.
enum class ControlId {
    Window,
    HelpButton,
    OptionsFrame,
    StartWithWindowsBox,
    StartInTrayBox,
    TrayIcon,
    RefreshTimer,
    SwitchButton,
    RefreshNowButton,
    SkinEngine,
};

struct FontStyle {
    std::string face;
    double points = 0;
    bool bold = false;
    int charset = 0;
};

struct ControlLayout {
    ControlId id;
    ControlKind kind;
    std::string caption;
    ControlId container = ControlId::Window;       // the control it lies in
    int left = 0, top = 0, width = 0, height = 0;  // twips, relative to the container's client area
    int tabIndex = -1;                             // -1: not a tab stop
};

struct WindowLayout {
    std::string caption;
    int clientWidth = 0, clientHeight = 0;  // twips
    Colour backColor = kWhite;
    FontStyle font;        // window, frame and check boxes
    FontStyle buttonFont;  // push buttons
    Colour buttonForeColor = kSystemButtonText;
    Colour buttonBackColor = kWhite;
    std::vector<ControlLayout> controls;  // in creation order
};

// Colours a skin gives the window when it is applied.
struct SkinColours {
    Colour windowBack = kSystemFace;
    Colour text = 0x000000;
    Colour buttonFace = kSystemFace;
    Colour buttonText = kSystemButtonText;
    Colour buttonBorder = 0x808080;
    Colour accent = 0xD77800;  // focus cue and hot border
};

// The colours one control is painted in, as the logic decides them from the
// design, the skin and the user's settings. A colour value that names a
// system colour is resolved when painting, so it follows the user's scheme.
struct ControlPaint {
    Colour back = kWhite;  // background; a push button's face
    Colour text = 0;       // caption
    Colour line = 0;       // the frame's outline; a push button's border
    Colour grayText = 0;   // caption while disabled
    // Push buttons only.
    Colour focus = 0;         // the focus cue, a ring inside the border
    Colour hot = 0;           // the border under the pointer and while pressed
    Colour hotBack = kWhite;  // the face under the pointer
    Colour pressedBack = kWhite;
    Colour pressedText = 0;
    friend bool operator==(const ControlPaint&, const ControlPaint&) = default;
};

struct WindowPaint {
    Colour back = kWhite;
    std::vector<std::pair<ControlId, ControlPaint>> controls;  // those that draw in the window
    friend bool operator==(const WindowPaint&, const WindowPaint&) = default;
};

// Mouse-pointer values of the window.
inline constexpr int kPointerDefault = 0;
inline constexpr int kPointerHourglass = 11;
inline constexpr int kPointerCustom = 99;

// Window states.
inline constexpr int kStateNormal = 0;
inline constexpr int kStateMinimized = 1;

class ButtonControl {
public:
    virtual ~ButtonControl() = default;
    virtual std::string caption() = 0;
    virtual void setCaption(const std::string& caption) = 0;
    virtual bool enabled() = 0;
    virtual void setEnabled(bool enabled) = 0;
};

class CheckBoxControl {
public:
    virtual ~CheckBoxControl() = default;
    virtual int value() = 0;  // 0 clear, 1 ticked
    virtual void setValue(int value) = 0;
};

class TimerControl {
public:
    virtual ~TimerControl() = default;
    virtual std::int32_t interval() = 0;  // milliseconds; 0 never ticks
    virtual void setInterval(std::int32_t milliseconds) = 0;
    virtual bool enabled() = 0;
    // Enabling starts a fresh interval; the next tick comes one interval later.
    virtual void setEnabled(bool enabled) = 0;
};

// Events of the window and its controls, raised on the GUI thread.
class WindowEvents {
public:
    virtual ~WindowEvents() = default;
    virtual void onQueryUnload() = 0;
    virtual void onResize() = 0;
    virtual void onMouseMove(ControlId control) = 0;
    virtual void onClick(ControlId control) = 0;
    virtual void onTimer(ControlId timer) = 0;
    // What the window's colours are decided from has changed: a back colour,
    // the skin, high contrast, the system's colours or theme. A sink that
    // leaves the window in its first colours has nothing to do.
    virtual void onColoursChanged() {}
    // The administrator's policies may have changed (a Group Policy refresh).
    virtual void onPoliciesChanged() {}
};

class Window {
public:
    virtual ~Window() = default;
    virtual WindowHandle handle() = 0;

    virtual std::string caption() = 0;
    virtual void setCaption(const std::string& caption) = 0;
    virtual void setIcon(const Picture& icon) = 0;
    virtual Colour backColor() = 0;
    virtual void setBackColor(Colour colour) = 0;
    virtual int mousePointer() = 0;
    virtual void setMousePointer(int pointer) = 0;
    virtual Picture mouseIcon() = 0;
    virtual void setMouseIcon(const Picture& picture) = 0;
    virtual int windowState() = 0;
    virtual void setWindowState(int state) = 0;
    virtual bool visible() = 0;
    virtual void setVisible(bool visible) = 0;
    virtual void setFocus() = 0;
    // Moves the window onto the nearest screen when it cannot be reached where it is.
    virtual void bringOntoScreen() = 0;

    // A control of the given kind; throws for a control of another kind.
    virtual ButtonControl& button(ControlId id) = 0;
    virtual CheckBoxControl& checkBox(ControlId id) = 0;
    virtual TimerControl& timer(ControlId id) = 0;

    // Every control with its kind, in creation order.
    virtual std::vector<std::pair<ControlId, ControlKind>> controls() = 0;
    // Sets a control's "BackColor"; throws for a control without one.
    virtual void setControlBackColor(ControlId id, Colour colour) = 0;
    virtual Colour controlBackColor(ControlId id) = 0;
    // Gives the window a skin's colours, which then take the place of the
    // back colours.
    virtual void applySkin(const SkinColours& colours) = 0;
    virtual std::optional<SkinColours> skin() = 0;
    // The colours the window and its controls are painted in from now on.
    virtual void setPaint(const WindowPaint& paint) = 0;
    // Locks a control that someone else decides: it is disabled, and the
    // reason is its tooltip and its accessible description. An empty reason
    // unlocks it.
    virtual void setLocked(ControlId id, const std::string& reason) = 0;

    // What assistive technology reads beside a control's name and role (its
    // state, why it is locked...; empty: nothing); a reader is told of each
    // change. Throws for a control that draws nothing in the window.
    virtual void setDescription(ControlId id, const std::string& text) = 0;
    // Reads text out to assistive technology as the outcome of an action on
    // the control, where the system can; elsewhere nothing happens.
    virtual void announce(ControlId id, const std::string& text) = 0;

    // Shows the window for the first time, in its current window state.
    virtual void show() = 0;
};

class Ui {
public:
    virtual ~Ui() = default;
    virtual std::unique_ptr<Window> createWindow(WindowLayout design, WindowEvents& events) = 0;
    // The icon the program file carries (16 to 256 px); a window shows the
    // image of the size its DPI asks for.
    virtual Picture programIcon() = 0;
    // The notification-area picture at the small-icon size of the DPI that the
    // notification area is drawn at (16 px at 96 DPI, 24 px at 144 DPI).
    virtual Picture trayIcon() = 0;
    // The same picture at the small-icon size of the given DPI (96 = 100 %);
    // throws "Invalid procedure call or argument" for a DPI that no screen
    // has. The picture lives as long as this object, and the same size gives
    // the same picture: one that differs from the one shown needs showing.
    virtual Picture trayIcon(int dpi) = 0;
    // Loads a picture (icon or cursor) from a file; throws "Invalid picture"
    // or "File not found".
    virtual Picture loadPicture(const std::wstring& path) = 0;
    // The user's high-contrast setting is on.
    virtual bool highContrast() = 0;
};

}  // namespace glance
