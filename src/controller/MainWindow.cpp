#include "controller/MainWindow.h"

#include "app/LoadSequence.h"
#include "app/StartupEntry.h"
#include "controller/MainWindowLayout.h"
#include "controller/WindowColours.h"
#include "core/HandlerErrors.h"
#include "core/Product.h"
#include "core/StepTrap.h"

namespace glance {

constexpr const char* kBalloonText =
    "has been minimized to the system tray.\r\n"
    "Click on the blue 'Q' icon (Q for Quillhaven) to bring the software back.";
constexpr std::int32_t kBalloonSeconds = 5;
// Read out after a click on "Update Icons On Desktop Now (Test)" has done its work.
constexpr const char* kRefreshedNotice = "Desktop icons updated";
// The help text: two lines, an empty line, and where to ask (the contact page follows).
constexpr const char* kHelpText =
    "This software will update so you see the latest files on the desktop.\r\n"
    "This will fix problems where files are not showing after downloading to the desktop from the web.\r\n"
    "\r\n"
    "Questions? Please contact Team Quillhaven at ";

MainWindow::MainWindow(Platform& platform)
    : p_(platform),
      engine_(platform.shell, platform.files, platform.loop, platform.diagnostics),
      preferences_(platform.settings) {
    engine_.reportOutagesTo(p_.eventLog);
    window_ = p_.ui.createWindow(mainWindowLayout(), *this);
    onColoursChanged();
    skin_ = std::make_unique<ColourSkinEngine>(p_.files, *window_);
    // Out of the tray, tip "Telnet Server", the blue 'Q' picture.
    trayIcon_ = std::make_unique<TrayIcon>(p_.notificationArea, p_.loop, window_->handle(), p_.ui.trayIcon());
    trayIcon_->onClicked = [this] { bringBack(); };
    trayIcon_->onShownChanged = [this](bool shown) { onTrayIconShownChanged(shown); };
    // The notification area's DPI can change while the program runs (a new
    // scale, another monitor, a restarted taskbar): the icon follows it.
    trayIcon_->pictureSource = [this] { return p_.ui.trayIcon(); };
    trayIcon_->onStillMissing = [this] { p_.eventLog.report(AdminEvent::TrayIconMissing, L""); };
    refreshSwitch_ = std::make_unique<RefreshSwitch>(
        RefreshSwitch{window_->button(ControlId::SwitchButton), window_->timer(ControlId::RefreshTimer),
                      engine_, preferences_, p_.system, p_.loop, p_.diagnostics});
    p_.loop.setTopLevelWork(*this);
}

MainWindow::~MainWindow() {
    p_.loop.clearTopLevelWork(*this);
}

void MainWindow::load() {
    runLoadSequence(p_, *window_, *skin_, *trayIcon_, preferences_, managed_);
    describeSwitch();
    // A later start of the program asks this copy to come back, as a click on
    // its icon would; without the channel only that request is lost.
    StepTrap::noting(p_.diagnostics, "second-start channel").step(0, [&] {
        p_.runningCopy.listen([this] { bringBack(); });
    });
}

void MainWindow::show() {
    window_->show();
}

// The pointer handlers write on every move, but never replace the hourglass.
// The check boxes have no pointer of their own: the pointer keeps whatever it
// showed when it reached them.
void MainWindow::onMouseMove(ControlId control) {
    const bool button = control == ControlId::HelpButton || control == ControlId::SwitchButton ||
                        control == ControlId::RefreshNowButton;
    if (!button && control != ControlId::Window && control != ControlId::OptionsFrame) return;
    if (window_->mousePointer() != kPointerHourglass)
        window_->setMousePointer(button ? kPointerCustom : kPointerDefault);
}

void MainWindow::onClick(ControlId control) {
    switch (control) {
    case ControlId::HelpButton:
        onHelpClicked();
        break;
    case ControlId::RefreshNowButton:
        // The button shows nothing when it has done its work; a screen reader hears so.
        if (refreshSwitch_->onRefreshNowClicked())
            window_->announce(ControlId::RefreshNowButton, kRefreshedNotice);
        break;
    case ControlId::SwitchButton:
        refreshSwitch_->onSwitchClicked();
        describeSwitch();
        break;
    case ControlId::StartWithWindowsBox:
        onStartWithWindowsClicked();
        break;
    case ControlId::StartInTrayBox:
        onStartInTrayClicked();
        break;
    default:
        break;
    }
}

void MainWindow::onTimer(ControlId timer) {
    if (timer == ControlId::RefreshTimer) refreshSwitch_->onTick();
}

// Decided again on every change of what the colours come from, so that the
// window follows high contrast live and gets its own colours back after it.
void MainWindow::onColoursChanged() {
    window_->setPaint(decideWindowPaint(colourSources(*window_, mainWindowLayout(), p_.ui.highContrast())));
}

// A Group Policy refresh: what changed applies at once.
void MainWindow::onPoliciesChanged() {
    const ManagedSettings before = managed_;
    managed_ = readManagedSettings(p_.admin, p_.diagnostics, p_.eventLog);
    applyManagedSettings(p_, *window_, preferences_, before, managed_);
}

void MainWindow::onQueryUnload() {
    StepTrap trap = StepTrap::reporting(p_.system, tag::kCloseRequest);
    trap.step(100, [&] { window_->timer(ControlId::RefreshTimer).setEnabled(false); });
    // Ending the process skips every destructor, so the icon leaves the tray here.
    trap.step(102, [&] { trayIcon_->setInTray(false); });
    trap.step(104, [&] { p_.loop.doEvents(); });
    trap.step(106, [&] { p_.loop.doEvents(); });
    trap.step(108, [&] { p_.loop.endProcess(); });
}

void MainWindow::onResize() {
    if (window_->windowState() != kStateMinimized || minimizedToTray_) return;
    // Hidden only behind an icon that the shell confirmed: until then the
    // window stays an ordinary minimized window with its taskbar button.
    if (trayIcon_->shown()) moveIntoTray();
}

void MainWindow::moveIntoTray() {
    window_->setVisible(false);
    // Back to normal while hidden, so that a restore shows the window as it was.
    window_->setWindowState(kStateNormal);
    // Set before the balloon wait, during which a click on the icon may restore the window.
    minimizedToTray_ = true;
    trayIcon_->showBalloon(kBalloonText, kProductName, kBalloonSeconds, true);
}

void MainWindow::onTrayIconShownChanged(bool shown) {
    if (shown) {
        // The icon came late: a window minimized meanwhile goes into the tray now.
        if (!minimizedToTray_ && window_->visible() && window_->windowState() == kStateMinimized)
            moveIntoTray();
    } else if (minimizedToTray_) {
        // The icon is gone (a new taskbar that refuses it): the window comes
        // back as an ordinary minimized window until the icon is there again.
        minimizedToTray_ = false;
        window_->setWindowState(kStateMinimized);
        window_->setVisible(true);
    }
}

void MainWindow::bringBack() {
    // Shown in its normal state, on a screen, with the focus, whether it was
    // in the tray or an ordinary minimized window.
    if (window_->windowState() == kStateMinimized) window_->setWindowState(kStateNormal);
    window_->setVisible(true);
    window_->bringOntoScreen();
    window_->setFocus();
    minimizedToTray_ = false;
}

// The switch's caption names what a click does ("Turn Off" while refreshing
// is on); a screen reader also hears the state, as the switch's description.
void MainWindow::describeSwitch() {
    const bool on = window_->button(ControlId::SwitchButton).caption() == kCaptionTurnOff;
    window_->setDescription(ControlId::SwitchButton,
                            on ? "Automatic refresh is on" : "Automatic refresh is off");
}

void MainWindow::onHelpClicked() {
    StepTrap trap = StepTrap::reporting(p_.system, tag::kHelpClick);
    trap.step(100, [&] { p_.system.messageBox(kHelpText + std::string(kContactPageUrl), std::nullopt, 0); });
}

// Ticking "Load this software on Windows startup" registers this copy in the
// user's logon list and stores the choice; unticking removes the entry,
// whichever copy it names. When either cannot be done, the box and the entry
// go back to what they were before the click: neither may claim a change the
// user did not get, nor one the user did not ask for.
void MainWindow::onStartWithWindowsClicked() {
    StepTrap trap = StepTrap::reporting(p_.system, tag::kStartWithWindowsClick);
    CheckBoxControl& box = window_->checkBox(ControlId::StartWithWindowsBox);
    bool wanted = false;
    if (!trap.step(100, [&] { wanted = box.value() == 1; })) return;
    std::optional<std::wstring> before;
    const bool known = trap.step(100, [&] { before = p_.system.startupEntry(kProductName); });
    const bool registered = known && trap.step(102, [&] {
        putStartupEntry(p_.system, wanted ? std::optional(startupCommandLine(p_.system)) : std::nullopt);
    });
    const bool saved = registered && trap.step(104, [&] { preferences_.saveStartWithWindows(wanted); });
    if (saved) return;
    if (registered) trap.step(106, [&] { putStartupEntry(p_.system, before); });
    // The box toggled itself before this handler ran.
    trap.step(108, [&] { box.setValue(checkValue(!wanted)); });
}

// Ticking "Start in system tray" stores the choice for the next start; a
// failed write puts the box back to the stored value.
void MainWindow::onStartInTrayClicked() {
    StepTrap trap = StepTrap::reporting(p_.system, tag::kStartInTrayClick);
    CheckBoxControl& box = window_->checkBox(ControlId::StartInTrayBox);
    bool wanted = false;
    if (!trap.step(100, [&] { wanted = box.value() == 1; })) return;
    if (trap.step(102, [&] { preferences_.saveStartInTray(wanted); })) return;
    trap.step(104, [&] { box.setValue(checkValue(preferences_.startInTray())); });
}

}  // namespace glance
