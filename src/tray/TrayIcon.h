// The tray icon control: owns one icon in the notification area, its picture
// and tooltip, shows balloon notices above it, and raises the shell's mouse
// messages for the icon as the control's events.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "platform/MessageLoop.h"
#include "platform/Shell.h"
#include "platform/Types.h"
#include "platform/Windowing.h"
#include "tray/PropertyBag.h"
#include "tray/TrayHook.h"

namespace glance {

class TrayIcon {
public:
    // The control's size in twips, whatever its container asks for.
    static constexpr int kSizeTwips = 510;
    // The tooltip of a new instance.
    static constexpr const char* kDefaultTip = "Telnet Server";

    // Creates the control's own window, owned by ownerWindow (the window the
    // control is placed on); facePicture is the picture the control shows.
    TrayIcon(Shell& shell, Windowing& windowing, MessageLoop& loop, WindowHandle ownerWindow,
             Picture facePicture);
    // Takes the icon out of the tray, then destroys the control's window.
    ~TrayIcon();
    // The window's user-data slot holds this instance's address.
    TrayIcon(const TrayIcon&) = delete;
    TrayIcon& operator=(const TrayIcon&) = delete;

    Picture icon() const { return icon_; }
    // Accepts icon pictures only; anything else is ignored without an error.
    void setIcon(const Picture& picture);

    std::string tip() const { return tip_; }
    void setTip(const std::string& text);
    // The control's standard text property: its tooltip.
    std::string text() const { return tip(); }
    void setText(const std::string& text) { setTip(text); }

    bool inTray() const { return inTray_; }
    // True puts the icon into the notification area, false takes it out.
    void setInTray(bool show);

    // Shows a balloon notice above the icon. With seconds > 0 it waits, with
    // messages running, until the shell reports the balloon closed or
    // that many seconds have passed, and then removes a balloon still open.
    // Throws "Overflow" before sending anything when seconds in milliseconds
    // does not fit in 32 bits.
    void showBalloon(const std::string& text, const std::string& title, std::int32_t seconds, bool once);

    // Events, raised synchronously from the icon's callback messages.
    // button: 1 left, 2 right; id: the icon identifier (always 0).
    std::function<void(std::int32_t id)> onMouseMove;
    std::function<void(std::int16_t button, std::int32_t id)> onMouseDown;
    std::function<void(std::int16_t button, std::int32_t id)> onMouseUp;
    std::function<void(std::int16_t button, std::int32_t id)> onMouseDoubleClick;

    // Gives the icon picture for the notification area as it is drawn now
    // (its DPI may change while the program runs); asked again when the
    // taskbar is re-created and when the display changes. Unset: the stored
    // picture is kept whatever happens.
    std::function<Picture()> pictureSource;

    // Told the name of a persisted property whenever its value changes.
    std::function<void(std::string_view property)> onPropertyChanged;

    // Persisted properties: a new instance, loading and saving.
    void initProperties();
    void readProperties(const PropertyBag& bag);
    void writeProperties(PropertyBag& bag) const;

    // The container asks for a size; the control keeps 510 x 510 twips.
    void resize(int requestedWidth, int requestedHeight);
    int width() const { return width_; }
    int height() const { return height_; }
    Picture facePicture() const { return face_; }

    // The control's own window: owner of the icon and receiver of its messages.
    WindowHandle window() const { return window_; }

private:
    friend std::intptr_t TrayHook::windowProc(WindowHandle, std::uint32_t, std::uintptr_t, std::intptr_t);

    void addIcon(WindowHandle hwnd, std::int32_t id, const std::string& tip, const Picture& icon);
    void removeIcon(WindowHandle hwnd, std::int32_t id);
    // Maps the callback's mouse or balloon message to an event or a flag.
    void handleTrayMessage(std::int32_t message, std::int32_t id);
    // The shell's notification area was created anew (the taskbar restarted)
    // and has forgotten the icon.
    void handleShellRestart();
    // The display or its scale may have changed: the picture for the
    // notification area's DPI replaces the one shown when they differ.
    void handleDisplayChange();
    // The picture source's answer, or the stored picture when it has none
    // or cannot give one.
    Picture pictureForDisplay() const;

    NotifyIconRecord newRecord() const;
    void reportChange(std::string_view property);

    Shell& shell_;
    Windowing& windowing_;
    MessageLoop& loop_;

    bool inTray_ = false;
    std::int32_t iconId_ = 0;
    std::string tip_;
    WindowHandle window_ = 0;
    Picture icon_;
    bool iconAdded_ = false;
    bool balloonVisible_ = false;
    std::int32_t onceBalloonCount_ = 0;

    Picture face_;
    int width_ = kSizeTwips;
    int height_ = kSizeTwips;
};

}  // namespace glance
