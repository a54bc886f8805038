// The main window: owns its controls, the tray control, the skin engine and
// the refresh engine, and routes every window event to its named handler.
#pragma once

#include <memory>
#include <string_view>

#include "app/SkinFramework.h"
#include "engine/RefreshEngine.h"
#include "engine/RefreshSwitch.h"
#include "platform/Platform.h"
#include "tray/cSysTray.h"

namespace glance {

// The help text: two lines, an empty line, and where to ask.
std::string HelpMessage();

class Form1 : public FormEvents {
public:
    explicit Form1(Platform& platform);
    ~Form1() override;

    // Loads the window (runs the start-up), then shows it as the start object.
    void Load();
    void Show();

    MainWindow& window() { return *window_; }
    cSysTray& tray() { return *cSysTray1_; }
    RefreshEngine& engine() { return engine_; }
    bool minimizedToTray() const { return MinimizedToTray; }

    // FormEvents: the one place where events meet their handlers.
    void onQueryUnload() override { Form_QueryUnload(); }
    void onResize() override { Form_Resize(); }
    void onMouseMove(std::string_view control) override;
    void onClick(std::string_view control) override;
    void onTimer(std::string_view timer) override;

private:
    void Form_Load();
    void Form_QueryUnload();
    void Form_Resize();
    void Form_MouseMove();
    void Frame3_MouseMove();
    void PushButton_MouseMove();
    void showPointer(int pointer);
    void PushButton1_Click();
    void Check3_Click();
    void Check8_Click();
    void cSysTray1_MouseUp();

    Platform& p_;
    RefreshEngine engine_;
    std::unique_ptr<MainWindow> window_;
    std::unique_ptr<SkinFramework> SkinFramework1_;
    std::unique_ptr<cSysTray> cSysTray1_;
    std::unique_ptr<RefreshSwitch> switch_;
    bool MinimizedToTray = false;
};

}  // namespace glance
