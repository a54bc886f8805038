#include "tray/TrayIcon.h"

#include <cstdint>
#include <exception>
#include <limits>

#include "core/Error.h"

namespace glance {

namespace {

// Mouse and balloon messages that the shell passes in the callback's lParam.
constexpr std::int32_t kMouseMove = 512;
constexpr std::int32_t kLeftDown = 513;
constexpr std::int32_t kLeftUp = 514;
constexpr std::int32_t kLeftDoubleClick = 515;
constexpr std::int32_t kRightDown = 516;
constexpr std::int32_t kRightUp = 517;
constexpr std::int32_t kRightDoubleClick = 518;
constexpr std::int32_t kBalloonHide = 1027;
constexpr std::int32_t kBalloonTimeout = 1028;
constexpr std::int32_t kBalloonUserClick = 1029;

constexpr std::int16_t kLeftButton = 1;
constexpr std::int16_t kRightButton = 2;

}  // namespace

TrayIcon::TrayIcon(Shell& shell, Windowing& windowing, MessageLoop& loop, WindowHandle ownerWindow,
                   Picture facePicture)
    : shell_(shell), windowing_(windowing), loop_(loop), face_(facePicture) {
    window_ = windowing_.createControlWindow(ownerWindow);
}

TrayIcon::~TrayIcon() {
    // The container is going away, so no property change is reported; the
    // icon and the hook must not outlive the window they point at.
    onPropertyChanged = nullptr;
    try {
        if (inTray_) setInTray(false);
    } catch (...) {
        // A destructor cannot report; the window is destroyed regardless.
    }
    try {
        windowing_.destroyWindow(window_);
    } catch (...) {
    }
}

NotifyIconRecord TrayIcon::newRecord() const {
    NotifyIconRecord record{};
    record.cbSize = sizeof(NotifyIconRecord);
    record.hWnd = static_cast<std::uint32_t>(window_);
    record.uID = static_cast<std::uint32_t>(iconId_);
    return record;
}

void TrayIcon::reportChange(std::string_view property) {
    if (onPropertyChanged) onPropertyChanged(property);
}

void TrayIcon::setIcon(const Picture& picture) {
    if (picture.empty() || picture.type != Picture::Icon) return;
    if (iconAdded_) {
        NotifyIconRecord record = newRecord();
        record.uFlags = kNifIcon;
        record.hIcon = static_cast<std::uint32_t>(picture.handle);
        shell_.notifyIcon(kNimModify, record);
    }
    icon_ = picture;
    face_ = picture;
    reportChange("TrayIcon");
}

void TrayIcon::setTip(const std::string& text) {
    if (iconAdded_) {
        NotifyIconRecord record = newRecord();
        record.uFlags = kNifTip;
        fillTextField(record.szTip, text);
        shell_.notifyIcon(kNimModify, record);
    }
    tip_ = text;
    reportChange("TrayTip");
}

void TrayIcon::setInTray(bool show) {
    if (show == inTray_) return;
    if (show) {
        // The hook and the user-data slot are in place before the icon exists,
        // so the very first callback message already finds this instance.
        TrayHook::install(windowing_, window_, *this);
        try {
            addIcon(window_, iconId_, tip(), icon());
        } catch (...) {
            // The shell could not be reached at all: the window gets its own
            // procedure back, or a second try would hook the hook itself.
            TrayHook::remove(windowing_, window_);
            throw;
        }
        iconAdded_ = true;
    } else if (iconAdded_) {
        // The icon goes first, so no callback can reach a window that has
        // already lost the hook.
        removeIcon(window_, iconId_);
        TrayHook::remove(windowing_, window_);
        iconAdded_ = false;
    }
    inTray_ = show;
    reportChange("InTray");
}

void TrayIcon::addIcon(WindowHandle hwnd, std::int32_t id, const std::string& tip, const Picture& icon) {
    NotifyIconRecord record{};
    record.hWnd = static_cast<std::uint32_t>(hwnd);
    record.uID = static_cast<std::uint32_t>(id);
    if (!icon.empty()) {
        record.hIcon = static_cast<std::uint32_t>(icon.handle);
        record.uFlags |= kNifIcon;
        icon_ = icon;
    }
    if (!tip.empty()) {
        fillTextField(record.szTip, tip);
        record.uFlags |= kNifTip;
        tip_ = tip;
    }
    record.uCallbackMessage = kTrayCallbackMessage;
    record.uFlags |= kNifMessage;
    record.cbSize = sizeof(NotifyIconRecord);
    shell_.notifyIcon(kNimAdd, record);
}

void TrayIcon::removeIcon(WindowHandle hwnd, std::int32_t id) {
    NotifyIconRecord record{};
    record.cbSize = sizeof(NotifyIconRecord);
    record.hWnd = static_cast<std::uint32_t>(hwnd);
    record.uID = static_cast<std::uint32_t>(id);
    shell_.notifyIcon(kNimDelete, record);
}

void TrayIcon::showBalloon(const std::string& text, const std::string& title, std::int32_t seconds,
                           bool once) {
    if (once && onceBalloonCount_ >= 1) return;

    NotifyIconRecord record = newRecord();
    record.uFlags = kNifInfo;
    fillTextField(record.szInfoTitle, title);
    fillTextField(record.szInfo, text);
    if (seconds > 0) {
        const std::int64_t milliseconds = std::int64_t{seconds} * 1000;
        if (milliseconds > std::numeric_limits<std::int32_t>::max()) throw PlatformError(errtext::kOverflow);
        record.uTimeout = static_cast<std::uint32_t>(milliseconds);
    }
    shell_.notifyIcon(kNimModify, record);
    balloonVisible_ = true;
    if (once) {
        if (onceBalloonCount_ == std::numeric_limits<std::int32_t>::max())
            throw PlatformError(errtext::kOverflow);
        ++onceBalloonCount_;
    }
    if (seconds <= 0) return;

    // Every message runs as it arrives, and the hide report of the shell
    // (through handleTrayMessage) ends the wait early. Between messages the
    // thread sleeps in the loop's wait rather than polling the queue.
    const double start = loop_.monotonicSeconds();
    for (;;) {
        double elapsed = loop_.monotonicSeconds() - start;
        if (!(elapsed < seconds && balloonVisible_)) break;
        loop_.doEvents();
        if (!balloonVisible_) break;
        elapsed = loop_.monotonicSeconds() - start;
        if (elapsed < seconds) loop_.waitForMessage(seconds - elapsed);
    }

    if (balloonVisible_) {
        // Left set: the shell's hide report clears it.
        fillTextField(record.szInfoTitle, "");
        fillTextField(record.szInfo, "");
        shell_.notifyIcon(kNimModify, record);
    }
}

void TrayIcon::handleTrayMessage(std::int32_t message, std::int32_t id) {
    switch (message) {
    case kMouseMove:
        if (onMouseMove) onMouseMove(id);
        break;
    case kLeftDown:
        if (onMouseDown) onMouseDown(kLeftButton, id);
        break;
    case kLeftUp:
        if (onMouseUp) onMouseUp(kLeftButton, id);
        break;
    case kLeftDoubleClick:
        if (onMouseDoubleClick) onMouseDoubleClick(kLeftButton, id);
        break;
    case kRightDown:
        if (onMouseDown) onMouseDown(kRightButton, id);
        break;
    case kRightUp:
        if (onMouseUp) onMouseUp(kRightButton, id);
        break;
    case kRightDoubleClick:
        if (onMouseDoubleClick) onMouseDoubleClick(kRightButton, id);
        break;
    case kBalloonHide:
    case kBalloonTimeout:
    case kBalloonUserClick:
        balloonVisible_ = false;
        break;
    default:
        break;
    }
}

void TrayIcon::handleShellRestart() {
    // A new notification area starts empty: an icon that is meant to be shown
    // is added again with its current picture and tip, or it would be lost
    // until InTray was switched off and on.
    if (!iconAdded_) return;
    const Picture picture = pictureForDisplay();
    if (picture != icon_) {
        icon_ = picture;
        face_ = picture;
    }
    addIcon(window_, iconId_, tip_, icon_);
}

void TrayIcon::handleDisplayChange() {
    if (!iconAdded_) return;
    const Picture picture = pictureForDisplay();
    if (picture != icon_) setIcon(picture);
}

Picture TrayIcon::pictureForDisplay() const {
    if (!pictureSource) return icon_;
    try {
        const Picture picture = pictureSource();
        // Only an icon can stand in the tray; anything else keeps the one shown.
        return picture.type == Picture::Icon && picture.handle != 0 ? picture : icon_;
    } catch (const std::exception&) {
        // A picture that cannot be made now is no reason to lose the icon.
        return icon_;
    }
}

void TrayIcon::initProperties() {
    setInTray(false);
    setTip(kDefaultTip);
    setIcon(face_);
}

void TrayIcon::readProperties(const PropertyBag& bag) {
    // InTray first: a stored true adds the icon before the stored picture and
    // tip arrive, which then reach the shell as modify requests.
    setInTray(bag.read<bool>("InTray", false));
    setIcon(bag.read<Picture>("TrayIcon", face_));
    setTip(bag.read<std::string>("TrayTip", kDefaultTip));
}

void TrayIcon::writeProperties(PropertyBag& bag) const {
    bag.write("InTray", inTray_);
    bag.write("TrayIcon", icon_);
    bag.write("TrayTip", tip_);
}

void TrayIcon::resize(int, int) {
    width_ = kSizeTwips;
    height_ = kSizeTwips;
}

}  // namespace glance
