// The program's tray icon: whether it is wanted and whether the shell really
// shows it, its picture and tip, the balloon above it, and the retries while
// the shell does not take it (a taskbar still busy at logon).
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "platform/MessageLoop.h"
#include "platform/NotifyIcon.h"
#include "platform/Types.h"

namespace glance {

class TrayIcon : private NotifyIconEvents {
public:
    // A placeholder: the tooltip a new icon holds until the program sets its own.
    static constexpr const char* kPlaceholderTip = "Telnet Server";

    // An icon owned by ownerWindow, out of the tray, showing picture.
    TrayIcon(NotificationArea& area, MessageLoop& loop, WindowHandle ownerWindow, Picture picture);
    // Takes the icon out of the tray.
    ~TrayIcon() override;

    // The tooltip.
    void setText(const std::string& text);

    // Wanted in the tray.
    bool inTray() const { return wanted_; }
    // The shell confirmed that it shows the icon.
    bool shown() const { return shown_; }
    // True asks the shell for the icon, and keeps asking (after 1, 2, 4, 8 s,
    // then every 30 s) until it confirms; false takes the icon out.
    void setInTray(bool show);

    // Shows a balloon notice above the icon. With seconds > 0 it waits, with
    // messages running, until the shell reports the balloon closed or
    // that many seconds have passed, and then removes a balloon still open.
    // Throws "Overflow" before sending anything when seconds in milliseconds
    // does not fit in 32 bits. once: at most one such balloon per instance.
    void showBalloon(const std::string& text, const std::string& title, std::int32_t seconds, bool once);

    // A mouse button released over the icon.
    std::function<void()> onClicked;
    // The shell started or stopped showing the wanted icon (not raised when
    // the icon is taken out on purpose).
    std::function<void(bool shown)> onShownChanged;
    // Gives the icon picture for the notification area as it is drawn now
    // (its DPI may change while the program runs); asked again when the
    // taskbar is re-created and when the display changes. Unset: the
    // picture given at creation is kept whatever happens.
    std::function<Picture()> pictureSource;
    // The shell still refuses the wanted icon when the quick retries are
    // over (the slow ones go on): raised once per such run of refusals.
    std::function<void()> onStillMissing;

private:
    // NotifyIconEvents
    void onIconClicked() override;
    void onBalloonClosed() override { balloonVisible_ = false; }
    void onTaskbarCreated() override;
    void onDisplayChanged() override;
    void onRetryDue() override;

    // Asks the shell for the icon (first whether it already holds it, when
    // an earlier request may have added it); schedules the next try when
    // the shell does not confirm.
    void requestIcon(bool askFirst);
    void setShown(bool shown);
    // The picture source's answer, or the current picture when it has none
    // or cannot give one.
    Picture pictureForDisplay() const;

    MessageLoop& loop_;
    std::unique_ptr<NotifyIcon> icon_;
    Picture picture_;
    std::string tip_ = kPlaceholderTip;
    bool wanted_ = false;
    bool shown_ = false;
    std::size_t failedTries_ = 0;
    bool balloonVisible_ = false;
    bool onceBalloonShown_ = false;
};

}  // namespace glance
