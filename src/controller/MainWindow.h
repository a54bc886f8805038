// The main window: owns its controls, the tray icon, the skin engine, the
// refresh engine and the user's preferences, and routes every window event
// to its handler.
#pragma once

#include <memory>

#include "app/ManagedSettings.h"
#include "app/Preferences.h"
#include "app/RefreshSwitch.h"
#include "app/Skin.h"
#include "engine/RefreshEngine.h"
#include "platform/Platform.h"
#include "tray/TrayIcon.h"

namespace glance {

class MainWindow : public WindowEvents, public TopLevelWork {
public:
    explicit MainWindow(Platform& platform);
    ~MainWindow() override;

    // Runs the start-up (the window's load handler); show() then shows the window.
    void load();
    void show();

    Window& window() { return *window_; }
    TrayIcon& trayIcon() { return *trayIcon_; }
    RefreshEngine& engine() { return engine_; }
    bool minimizedToTray() const { return minimizedToTray_; }

    // WindowEvents: the one place where events meet their handlers.
    void onQueryUnload() override;
    void onResize() override;
    void onMouseMove(ControlId control) override;
    void onClick(ControlId control) override;
    void onTimer(ControlId timer) override;
    void onColoursChanged() override;
    void onPoliciesChanged() override;

    // TopLevelWork: the quick check of a desktop change.
    double runBetweenMessages() override { return refreshSwitch_->onBetweenMessages(); }

private:
    void onHelpClicked();
    void onStartWithWindowsClicked();
    void onStartInTrayClicked();
    void describeSwitch();
    void moveIntoTray();
    void onTrayIconShownChanged(bool shown);
    // What a click on the tray icon and a second start of the program do.
    void bringBack();

    Platform& p_;
    RefreshEngine engine_;
    Preferences preferences_;
    std::unique_ptr<Window> window_;
    std::unique_ptr<ColourSkinEngine> skin_;
    std::unique_ptr<TrayIcon> trayIcon_;
    std::unique_ptr<RefreshSwitch> refreshSwitch_;
    bool minimizedToTray_ = false;
    ManagedSettings managed_;
};

}  // namespace glance
