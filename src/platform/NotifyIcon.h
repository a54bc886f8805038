// The program's icon in the notification area as the shell shows it: added,
// changed and removed, with the shell's answer to each request, and the
// icon's events (a click, a balloon that closed, a new taskbar, a new scale).
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "platform/Types.h"

namespace glance {

// What the shell said to a request. NoAnswer: it did not answer in time, so
// the request may or may not have been carried out.
enum class IconAnswer { Done, Refused, NoAnswer };

// Raised on the GUI thread, only while the icon is shown or being shown.
class NotifyIconEvents {
public:
    virtual ~NotifyIconEvents() = default;
    // A mouse button released over the icon.
    virtual void onIconClicked() = 0;
    // The balloon went away: timed out, clicked or closed.
    virtual void onBalloonClosed() = 0;
    // The taskbar was created anew and holds none of the old icons.
    virtual void onTaskbarCreated() = 0;
    // The displays or their scale changed: the icon may be drawn at another size.
    virtual void onDisplayChanged() = 0;
    // The time asked for with retryAfter has come.
    virtual void onRetryDue() = 0;
};

class NotifyIcon {
public:
    virtual ~NotifyIcon() = default;
    // Adds the icon, with its picture and tip when they are set, and from now
    // on raises its events. Throws when the shell cannot be reached at all.
    virtual IconAnswer show(const Picture& picture, const std::string& tip) = 0;
    // Whether the shell holds the icon now.
    virtual bool present() = 0;
    virtual IconAnswer setPicture(const Picture& picture) = 0;
    virtual IconAnswer setTip(const std::string& tip) = 0;
    // A balloon above the icon; empty texts take a shown balloon away.
    // timeoutMilliseconds 0: the shell's own time.
    virtual IconAnswer balloon(const std::string& title, const std::string& text,
                               std::uint32_t timeoutMilliseconds) = 0;
    // Removes the icon, stops its events and any retry asked for.
    virtual void hide() = 0;
    // Raises onRetryDue once, seconds from now (replacing an earlier request).
    virtual void retryAfter(double seconds) = 0;
};

class NotificationArea {
public:
    virtual ~NotificationArea() = default;
    // An icon of the program owned by ownerWindow, not yet shown.
    virtual std::unique_ptr<NotifyIcon> createIcon(WindowHandle ownerWindow, NotifyIconEvents& events) = 0;
};

}  // namespace glance
