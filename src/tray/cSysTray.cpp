#include "tray/cSysTray.h"

#include <cstdint>
#include <limits>

#include "platform/Error.h"

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

cSysTray::cSysTray(Shell& shell, Windowing& windowing, MessageLoop& loop, WindowHandle ownerWindow,
                   Picture facePicture)
    : shell_(shell), windowing_(windowing), loop_(loop), Face(facePicture) {
    OwnerHwndValue = windowing_.createControlWindow(ownerWindow);
}

cSysTray::~cSysTray() {
    // The container is going away, so no property change is reported; the
    // icon and the hook must not outlive the window they point at.
    PropertyChanged = nullptr;
    try {
        if (InTrayValue) setInTray(false);
    } catch (...) {
        // A destructor cannot report; the window is destroyed regardless.
    }
    try {
        windowing_.destroyWindow(OwnerHwndValue);
    } catch (...) {
    }
}

NotifyIconRecord cSysTray::NewRecord() const {
    NotifyIconRecord record{};
    record.cbSize = sizeof(NotifyIconRecord);
    record.hWnd = static_cast<std::uint32_t>(OwnerHwndValue);
    record.uID = static_cast<std::uint32_t>(IconId);
    return record;
}

void cSysTray::ReportChange(std::string_view property) {
    if (PropertyChanged) PropertyChanged(property);
}

void cSysTray::setTrayIcon(const Picture& Icon) {
    if (Icon.empty() || Icon.type != Picture::Icon) return;
    if (IconAdded) {
        NotifyIconRecord record = NewRecord();
        record.uFlags = kNifIcon;
        record.hIcon = static_cast<std::uint32_t>(Icon.handle);
        shell_.notifyIcon(kNimModify, record);
    }
    IconPicture = Icon;
    Face = Icon;
    ReportChange("TrayIcon");
}

void cSysTray::setTrayTip(const std::string& Tip) {
    if (IconAdded) {
        NotifyIconRecord record = NewRecord();
        record.uFlags = kNifTip;
        fillTextField(record.szTip, Tip);
        shell_.notifyIcon(kNimModify, record);
    }
    TipText = Tip;
    ReportChange("TrayTip");
}

void cSysTray::setInTray(bool Show) {
    if (Show == InTrayValue) return;
    if (Show) {
        // The hook and the user-data slot are in place before the icon exists,
        // so the very first callback message already finds this instance.
        mSysTray::InstallHook(windowing_, OwnerHwndValue, *this);
        AddTrayIcon(OwnerHwndValue, IconId, TrayTip(), TrayIcon());
        IconAdded = true;
    } else if (IconAdded) {
        // The icon goes first, so no callback can reach a window that has
        // already lost the hook.
        RemoveTrayIcon(OwnerHwndValue, IconId);
        mSysTray::RemoveHook(windowing_, OwnerHwndValue);
        IconAdded = false;
    }
    InTrayValue = Show;
    ReportChange("InTray");
}

void cSysTray::AddTrayIcon(WindowHandle hwnd, std::int32_t id, const std::string& tip, const Picture& icon) {
    NotifyIconRecord record{};
    record.hWnd = static_cast<std::uint32_t>(hwnd);
    record.uID = static_cast<std::uint32_t>(id);
    if (!icon.empty()) {
        record.hIcon = static_cast<std::uint32_t>(icon.handle);
        record.uFlags |= kNifIcon;
        IconPicture = icon;
    }
    if (!tip.empty()) {
        fillTextField(record.szTip, tip);
        record.uFlags |= kNifTip;
        TipText = tip;
    }
    record.uCallbackMessage = mSysTray::TrayCallbackMessage;
    record.uFlags |= kNifMessage;
    record.cbSize = sizeof(NotifyIconRecord);
    shell_.notifyIcon(kNimAdd, record);
}

void cSysTray::RemoveTrayIcon(WindowHandle hwnd, std::int32_t id) {
    NotifyIconRecord record{};
    record.cbSize = sizeof(NotifyIconRecord);
    record.hWnd = static_cast<std::uint32_t>(hwnd);
    record.uID = static_cast<std::uint32_t>(id);
    shell_.notifyIcon(kNimDelete, record);
}

void cSysTray::ShowBalloon(const std::string& Tip, const std::string& sTitle, std::int32_t ShowTimer,
                           bool ShowOnce) {
    if (ShowOnce && OnceBalloonCount >= 1) return;

    NotifyIconRecord record = NewRecord();
    record.uFlags = kNifInfo;
    fillTextField(record.szInfoTitle, sTitle);
    fillTextField(record.szInfo, Tip);
    if (ShowTimer > 0) {
        const std::int64_t milliseconds = std::int64_t{ShowTimer} * 1000;
        if (milliseconds > std::numeric_limits<std::int32_t>::max()) throw PlatformError(errtext::kOverflow);
        record.uTimeout = static_cast<std::uint32_t>(milliseconds);
    }
    shell_.notifyIcon(kNimModify, record);
    BalloonVisible = true;
    if (ShowOnce) {
        if (OnceBalloonCount == std::numeric_limits<std::int32_t>::max())
            throw PlatformError(errtext::kOverflow);
        ++OnceBalloonCount;
    }
    if (ShowTimer <= 0) return;

    // Every message runs as it arrives, and the hide report of the shell
    // (through HandleTrayMessage) ends the wait early. Between messages the
    // thread sleeps in the loop's wait rather than polling the queue.
    const double start = loop_.monotonicSeconds();
    for (;;) {
        double elapsed = loop_.monotonicSeconds() - start;
        if (!(elapsed < ShowTimer && BalloonVisible)) break;
        loop_.doEvents();
        if (!BalloonVisible) break;
        elapsed = loop_.monotonicSeconds() - start;
        if (elapsed < ShowTimer) loop_.waitForMessage(ShowTimer - elapsed);
    }

    if (BalloonVisible) {
        // Left set: the shell's hide report clears it.
        fillTextField(record.szInfoTitle, "");
        fillTextField(record.szInfo, "");
        shell_.notifyIcon(kNimModify, record);
    }
}

void cSysTray::HandleTrayMessage(std::int32_t message, std::int32_t id) {
    switch (message) {
    case kMouseMove:
        if (MouseMove) MouseMove(id);
        break;
    case kLeftDown:
        if (MouseDown) MouseDown(kLeftButton, id);
        break;
    case kLeftUp:
        if (MouseUp) MouseUp(kLeftButton, id);
        break;
    case kLeftDoubleClick:
        if (MouseDblClick) MouseDblClick(kLeftButton, id);
        break;
    case kRightDown:
        if (MouseDown) MouseDown(kRightButton, id);
        break;
    case kRightUp:
        if (MouseUp) MouseUp(kRightButton, id);
        break;
    case kRightDoubleClick:
        if (MouseDblClick) MouseDblClick(kRightButton, id);
        break;
    case kBalloonHide:
    case kBalloonTimeout:
    case kBalloonUserClick:
        BalloonVisible = false;
        break;
    default:
        break;
    }
}

void cSysTray::HandleShellRestart() {
    // A new notification area starts empty: an icon that is meant to be shown
    // is added again with its current picture and tip, or it would be lost
    // until InTray was switched off and on.
    if (IconAdded) AddTrayIcon(OwnerHwndValue, IconId, TipText, IconPicture);
}

void cSysTray::InitProperties() {
    setInTray(false);
    setTrayTip(kDefaultTip);
    setTrayIcon(Face);
}

void cSysTray::ReadProperties(const PropertyBag& bag) {
    // InTray first: a stored true adds the icon before the stored picture and
    // tip arrive, which then reach the shell as modify requests.
    setInTray(bag.read<bool>("InTray", false));
    setTrayIcon(bag.read<Picture>("TrayIcon", Face));
    setTrayTip(bag.read<std::string>("TrayTip", kDefaultTip));
}

void cSysTray::WriteProperties(PropertyBag& bag) const {
    bag.write("InTray", InTrayValue);
    bag.write("TrayIcon", IconPicture);
    bag.write("TrayTip", TipText);
}

void cSysTray::Resize(int, int) {
    WidthTwips = kSizeTwips;
    HeightTwips = kSizeTwips;
}

}  // namespace glance
