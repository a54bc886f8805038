#include "ui/Form1.h"

#include "app/HandlerErrors.h"
#include "app/Product.h"
#include "app/Startup.h"
#include "app/StepTrap.h"
#include "ui/Form1Layout.h"

namespace glance {
namespace {

constexpr const char* kBalloonText =
    "has been minimized to the system tray.\r\n"
    "Click on the blue 'Q' icon (Q for Quillhaven) to bring the software back.";
constexpr std::int32_t kBalloonSeconds = 5;

bool isPushButton(std::string_view name) {
    return name == "PushButton1" || name == "PushButton2" || name == "PushButton4";
}

}  // namespace

std::string HelpMessage() {
    return std::string("This software will update so you see the latest files on the desktop.\r\n") +
           "This will fix problems where files are not showing after downloading to the desktop from the "
           "web.\r\n"
           "\r\n"
           "Questions? Please contact Team Quillhaven at " +
           kContactPageUrl;
}

Form1::Form1(Platform& platform) : p_(platform), engine_(platform.shell, platform.files) {
    window_ = p_.ui.createMainWindow(Form1Layout(), *this);
    SkinFramework1_ = std::make_unique<SkinFramework>(p_.files, *window_);
    cSysTray1_ =
        std::make_unique<cSysTray>(p_.shell, p_.windowing, p_.loop, window_->handle(), p_.ui.trayIcon());
    // As placed on the window: out of the tray, tip "Telnet Server", the blue 'Q' picture.
    cSysTray1_->InitProperties();
    cSysTray1_->MouseUp = [this](std::int16_t, std::int32_t) { cSysTray1_MouseUp(); };
    switch_ = std::make_unique<RefreshSwitch>(RefreshSwitch{
        window_->button("PushButton4"), window_->timer("Timer1"), engine_, p_.settings, p_.system, p_.loop});
}

Form1::~Form1() = default;

void Form1::Load() {
    Form_Load();
}

void Form1::Show() {
    window_->show();
}

void Form1::onMouseMove(std::string_view control) {
    if (control == "Form1") {
        Form_MouseMove();
    } else if (control == "Frame3") {
        Frame3_MouseMove();
    } else if (isPushButton(control)) {
        PushButton_MouseMove();
    }
}

void Form1::onClick(std::string_view control) {
    if (control == "PushButton1") {
        PushButton1_Click();
    } else if (control == "PushButton2") {
        switch_->PushButton2_Click();
    } else if (control == "PushButton4") {
        switch_->PushButton4_Click();
    } else if (control == "Check3") {
        Check3_Click();
    } else if (control == "Check8") {
        Check8_Click();
    }
}

void Form1::onTimer(std::string_view timer) {
    if (timer == "Timer1") switch_->Timer1_Timer();
}

void Form1::Form_Load() {
    StartupTargets targets{*window_, engine_, *SkinFramework1_,
                           [this](const std::string& tip) { cSysTray1_->setTrayTip(tip); },
                           [this](bool show) { cSysTray1_->setInTray(show); }};
    glance::Form_Load(p_, targets);
}

void Form1::Form_QueryUnload() {
    StepTrap trap = StepTrap::reporting(p_.system, tag::kFormQueryUnload);
    trap.step(100, [&] { window_->timer("Timer1").setEnabled(false); });
    // Ending the process skips every destructor, so the icon leaves the tray here.
    trap.step(102, [&] { cSysTray1_->setInTray(false); });
    trap.step(104, [&] { p_.loop.doEvents(); });
    trap.step(106, [&] { p_.loop.doEvents(); });
    trap.step(108, [&] { p_.loop.endProcess(); });
}

void Form1::Form_Resize() {
    if (window_->windowState() != kStateMinimized || MinimizedToTray) return;
    window_->setVisible(false);
    // Back to normal while hidden, so that a restore shows the window as it was.
    window_->setWindowState(kStateNormal);
    // Set before the balloon wait, during which a click on the icon may restore the window.
    MinimizedToTray = true;
    cSysTray1_->ShowBalloon(kBalloonText, kProductName, kBalloonSeconds, true);
}

void Form1::cSysTray1_MouseUp() {
    window_->setVisible(true);
    window_->setFocus();
    MinimizedToTray = false;
}

// The pointer handlers write on every move, but never replace the hourglass.
void Form1::showPointer(int pointer) {
    if (window_->mousePointer() != kPointerHourglass) window_->setMousePointer(pointer);
}

void Form1::Form_MouseMove() {
    showPointer(kPointerDefault);
}

void Form1::Frame3_MouseMove() {
    showPointer(kPointerDefault);
}

void Form1::PushButton_MouseMove() {
    showPointer(kPointerCustom);
}

void Form1::PushButton1_Click() {
    StepTrap trap = StepTrap::reporting(p_.system, tag::kHelpClick);
    trap.step(100, [&] { p_.system.messageBox(HelpMessage(), std::nullopt, 0); });
}

// Ticking "Load this software on Windows startup" registers the program in the
// user's logon list and stores the choice; a failed write puts the box back to
// what is really registered.
void Form1::Check3_Click() {
    StepTrap trap = StepTrap::reporting(p_.system, tag::kStartupCheckClick);
    CheckBoxControl& box = window_->checkBox("Check3");
    auto registerProgram = [&](bool on) {
        if (on) {
            p_.system.setStartupEntry(kProductName, L"\"" + p_.system.programPath() + L"\"");
        } else {
            p_.system.removeStartupEntry(kProductName);
        }
    };
    bool wanted = false;
    if (!trap.step(100, [&] { wanted = box.value() == 1; })) return;
    const bool registered = trap.step(102, [&] { registerProgram(wanted); });
    const bool saved = registered && trap.step(104, [&] {
        p_.settings.save(kSettingsApplication, kProductName, kKeyWindowsStartup, wanted ? kOn : kOff);
    });
    if (saved) return;
    // The choice could not be stored: undo the registration so both agree.
    if (registered) trap.step(106, [&] { registerProgram(!wanted); });
    trap.step(108, [&] { box.setValue(p_.system.startupEntry(kProductName).has_value() ? 1 : 0); });
}

// Ticking "Start in system tray" stores the choice for the next start; a
// failed write puts the box back to the stored value.
void Form1::Check8_Click() {
    StepTrap trap = StepTrap::reporting(p_.system, tag::kMinimizedCheckClick);
    CheckBoxControl& box = window_->checkBox("Check8");
    bool wanted = false;
    if (!trap.step(100, [&] { wanted = box.value() == 1; })) return;
    if (trap.step(102, [&] {
            p_.settings.save(kSettingsApplication, kProductName, kKeyMinimized, wanted ? kOn : kOff);
        }))
        return;
    trap.step(104, [&] {
        box.setValue(p_.settings.read(kSettingsApplication, kProductName, kKeyMinimized, kOff) == kOn ? 1
                                                                                                      : 0);
    });
}

}  // namespace glance
