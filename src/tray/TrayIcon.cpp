#include "tray/TrayIcon.h"

#include <algorithm>
#include <exception>
#include <iterator>
#include <limits>

#include "core/Error.h"

namespace glance {

// Seconds between the shell's refusals and the next request: quick at first,
// for a taskbar that is only busy, then twice a minute for as long as it takes.
constexpr double kRetryDelays[] = {1, 2, 4, 8, 30};

TrayIcon::TrayIcon(NotificationArea& area, MessageLoop& loop, WindowHandle ownerWindow, Picture picture)
    : loop_(loop), icon_(area.createIcon(ownerWindow, *this)), picture_(picture) {}

TrayIcon::~TrayIcon() {
    onShownChanged = nullptr;
    try {
        if (wanted_) setInTray(false);
    } catch (...) {
        // A destructor cannot report; the platform's icon goes regardless.
    }
}

void TrayIcon::setText(const std::string& text) {
    if (shown_) icon_->setTip(text);
    tip_ = text;
}

void TrayIcon::setInTray(bool show) {
    if (show == wanted_) return;
    wanted_ = show;
    if (!show) {
        // Also when the shell never confirmed it: a late add may have put it there.
        icon_->hide();
        shown_ = false;
        return;
    }
    failedTries_ = 0;
    try {
        requestIcon(false);
    } catch (...) {
        // The shell could not be reached at all: nothing is retried.
        wanted_ = false;
        icon_->hide();
        throw;
    }
}

void TrayIcon::requestIcon(bool askFirst) {
    const bool there = (askFirst && icon_->present()) || icon_->show(picture_, tip_) == IconAnswer::Done;
    if (there) {
        failedTries_ = 0;
        setShown(true);
        return;
    }
    // Refused or not answered in time: the next try first asks whether the
    // icon is there after all, since an add that timed out may have been
    // carried out, and an icon that is already there cannot be added again.
    setShown(false);
    icon_->retryAfter(kRetryDelays[std::min(failedTries_, std::size(kRetryDelays) - 1)]);
    ++failedTries_;
    if (failedTries_ == std::size(kRetryDelays) && onStillMissing) onStillMissing();
}

void TrayIcon::setShown(bool shown) {
    if (shown == shown_) return;
    shown_ = shown;
    if (onShownChanged) onShownChanged(shown);
}

void TrayIcon::onRetryDue() {
    if (wanted_ && !shown_) requestIcon(true);
}

void TrayIcon::onIconClicked() {
    if (onClicked) onClicked();
}

void TrayIcon::onTaskbarCreated() {
    // A new notification area starts empty: the wanted icon is added again
    // with the picture for now and the current tip.
    if (!wanted_) return;
    picture_ = pictureForDisplay();
    failedTries_ = 0;
    requestIcon(false);
}

void TrayIcon::onDisplayChanged() {
    if (!shown_) return;
    const Picture picture = pictureForDisplay();
    if (picture == picture_) return;
    icon_->setPicture(picture);
    picture_ = picture;
}

Picture TrayIcon::pictureForDisplay() const {
    if (!pictureSource) return picture_;
    try {
        const Picture picture = pictureSource();
        // Only an icon can stand in the tray; anything else keeps the one shown.
        return picture.type == Picture::Icon && picture.handle != 0 ? picture : picture_;
    } catch (const std::exception&) {
        // A picture that cannot be made now is no reason to lose the icon.
        return picture_;
    }
}

void TrayIcon::showBalloon(const std::string& text, const std::string& title, std::int32_t seconds,
                           bool once) {
    if (once && onceBalloonShown_) return;

    // The time in milliseconds must fit the 32-bit signed number it has always been.
    if (seconds > std::numeric_limits<std::int32_t>::max() / 1000) throw PlatformError(errtext::kOverflow);
    const std::uint32_t timeout = seconds > 0 ? static_cast<std::uint32_t>(seconds) * 1000 : 0;
    icon_->balloon(title, text, timeout);
    balloonVisible_ = true;
    if (once) onceBalloonShown_ = true;
    if (seconds <= 0) return;

    // Every message runs as it arrives, and the shell's report that the
    // balloon closed ends the wait early. Between messages the thread sleeps
    // in the loop's wait rather than polling the queue.
    const double end = loop_.monotonicSeconds() + seconds;
    while (balloonVisible_ && loop_.monotonicSeconds() < end) {
        loop_.doEvents();
        const double left = end - loop_.monotonicSeconds();
        if (balloonVisible_ && left > 0) loop_.waitForMessage(left);
    }

    // Left set: the shell's report clears it.
    if (balloonVisible_) icon_->balloon("", "", timeout);
}

}  // namespace glance
