// The tray icon control: owns one icon in the notification area, its picture
// and tooltip, shows balloon notices above it, and raises the shell's mouse
// messages for the icon as the control's events.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "platform/Shell.h"
#include "platform/System.h"
#include "platform/Types.h"
#include "platform/Windowing.h"
#include "tray/PropertyBag.h"
#include "tray/mSysTray.h"

namespace glance {

class cSysTray {
public:
    // The control's size in twips, whatever its container asks for.
    static constexpr int kSizeTwips = 510;
    // The tooltip of a new instance.
    static constexpr const char* kDefaultTip = "Telnet Server";

    // Creates the control's own window, owned by ownerWindow (the window the
    // control is placed on); facePicture is the picture the control shows.
    cSysTray(Shell& shell, Windowing& windowing, MessageLoop& loop, WindowHandle ownerWindow,
             Picture facePicture);
    // Takes the icon out of the tray, then destroys the control's window.
    ~cSysTray();
    // The window's user-data slot holds this instance's address.
    cSysTray(const cSysTray&) = delete;
    cSysTray& operator=(const cSysTray&) = delete;

    Picture TrayIcon() const { return IconPicture; }
    // Accepts icon pictures only; anything else is ignored without an error.
    void setTrayIcon(const Picture& Icon);

    std::string TrayTip() const { return TipText; }
    void setTrayTip(const std::string& Tip);
    // The control's standard text property: its tooltip.
    std::string Text() const { return TrayTip(); }
    void setText(const std::string& text) { setTrayTip(text); }

    bool InTray() const { return InTrayValue; }
    // True puts the icon into the notification area, false takes it out.
    void setInTray(bool Show);

    // Shows a balloon notice above the icon. With ShowTimer > 0 it waits, with
    // messages running, until the shell reports the balloon closed or
    // ShowTimer seconds have passed, and then removes a balloon still open.
    // Throws "Overflow" before sending anything when ShowTimer in milliseconds
    // does not fit in 32 bits.
    void ShowBalloon(const std::string& Tip, const std::string& sTitle, std::int32_t ShowTimer,
                     bool ShowOnce);

    // Events, raised synchronously from the icon's callback messages.
    // Button: 1 left, 2 right. Id: the icon identifier (always 0).
    std::function<void(std::int32_t Id)> MouseMove;
    std::function<void(std::int16_t Button, std::int32_t Id)> MouseDown;
    std::function<void(std::int16_t Button, std::int32_t Id)> MouseUp;
    std::function<void(std::int16_t Button, std::int32_t Id)> MouseDblClick;

    // Told the name of a persisted property whenever its value changes.
    std::function<void(std::string_view property)> PropertyChanged;

    // Persisted properties: a new instance, loading and saving.
    void InitProperties();
    void ReadProperties(const PropertyBag& bag);
    void WriteProperties(PropertyBag& bag) const;

    // The container asks for a size; the control keeps 510 x 510 twips.
    void Resize(int requestedWidth, int requestedHeight);
    int Width() const { return WidthTwips; }
    int Height() const { return HeightTwips; }
    Picture FacePicture() const { return Face; }

    // The control's own window: owner of the icon and receiver of its messages.
    WindowHandle OwnerHwnd() const { return OwnerHwndValue; }

private:
    friend std::intptr_t mSysTray::TrayWindowProc(WindowHandle, std::uint32_t, std::uintptr_t, std::intptr_t);

    void AddTrayIcon(WindowHandle hwnd, std::int32_t id, const std::string& tip, const Picture& icon);
    void RemoveTrayIcon(WindowHandle hwnd, std::int32_t id);
    // Maps the callback's mouse or balloon message to an event or a flag.
    void HandleTrayMessage(std::int32_t message, std::int32_t id);
    // The shell's notification area was created anew (the taskbar restarted)
    // and has forgotten the icon.
    void HandleShellRestart();

    NotifyIconRecord NewRecord() const;
    void ReportChange(std::string_view property);

    Shell& shell_;
    Windowing& windowing_;
    MessageLoop& loop_;

    bool InTrayValue = false;
    std::int32_t IconId = 0;
    std::string TipText;
    WindowHandle OwnerHwndValue = 0;
    Picture IconPicture;
    bool IconAdded = false;
    bool BalloonVisible = false;
    std::int32_t OnceBalloonCount = 0;

    Picture Face;
    int WidthTwips = kSizeTwips;
    int HeightTwips = kSizeTwips;
};

}  // namespace glance
