// The main window and its controls, simulated: every property is stored,
// timers tick on the fake loop's clock, and a test raises clicks and pointer
// moves as a user would. Failures are injected per "Control.property" or
// "Control.setProperty".
#pragma once

#include <map>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "ControlNames.h"
#include "Failures.h"
#include "FakeLoop.h"
#include "core/Error.h"
#include "platform/Ui.h"

namespace glance::fake {

class FakeWindow;

class FakeButton : public ButtonControl {
public:
    FakeButton(Failures& f, std::string name, std::string caption)
        : failures_(f), name_(std::move(name)), caption_(std::move(caption)) {}
    std::string caption() override {
        failures_.check(name_ + ".caption");
        return caption_;
    }
    void setCaption(const std::string& c) override {
        failures_.check(name_ + ".setCaption");
        caption_ = c;
    }
    bool enabled() override { return enabled_; }
    void setEnabled(bool e) override { enabled_ = e; }

private:
    Failures& failures_;
    std::string name_, caption_;
    bool enabled_ = true;
};

class FakeCheckBox : public CheckBoxControl {
public:
    FakeCheckBox(Failures& f, std::string name) : failures_(f), name_(std::move(name)) {}
    int value() override {
        failures_.check(name_ + ".value");
        return value_;
    }
    void setValue(int v) override {
        failures_.check(name_ + ".setValue");
        value_ = v;
    }
    Colour backColor = kWhite;

private:
    Failures& failures_;
    std::string name_;
    int value_ = 0;
};

class FakeTimer : public TimerControl {
public:
    FakeTimer(Failures& f, FakeLoop& loop, std::string name, std::function<void()> tick)
        : failures_(f), loop_(loop), name_(std::move(name)), tick_(std::move(tick)) {
        slot_.live = [this] { return enabled_ && interval_ > 0 && !tickQueued_; };
        slot_.due = [this] { return start_ + interval_ / 1000.0; };
        slot_.fire = [this] {
            // One tick message at a time, as WM_TIMER is coalesced; the next
            // interval counts from this one.
            tickQueued_ = true;
            start_ = loop_.now();
            loop_.post([this] {
                tickQueued_ = false;
                if (enabled_ && interval_ > 0) {
                    ++ticks;
                    tick_();
                }
            });
        };
        loop_.addTimer(&slot_);
    }
    ~FakeTimer() override { loop_.removeTimer(&slot_); }

    std::int32_t interval() override {
        failures_.check(name_ + ".interval");
        return interval_;
    }
    void setInterval(std::int32_t ms) override {
        failures_.check(name_ + ".setInterval");
        if (ms < 0) throw PlatformError(errtext::kInvalidCall);
        interval_ = ms;
        start_ = loop_.now();
    }
    bool enabled() override {
        failures_.check(name_ + ".enabled");
        return enabled_;
    }
    void setEnabled(bool e) override {
        failures_.check(name_ + ".setEnabled");
        enabled_ = e;
        if (e) start_ = loop_.now();
    }
    int ticks = 0;

private:
    Failures& failures_;
    FakeLoop& loop_;
    std::string name_;
    std::function<void()> tick_;
    FakeLoop::TimerSlot slot_;
    std::int32_t interval_ = 0;
    bool enabled_ = true;
    bool tickQueued_ = false;
    double start_ = 0;
};

class FakeWindow : public Window {
public:
    FakeWindow(Failures& f, FakeLoop& loop, const WindowLayout& design, WindowEvents& events)
        : failures_(f),
          loop_(loop),
          design_(design),
          events_(events),
          caption_(design.caption),
          backColor_(design.backColor) {
        for (auto& c : design.controls) {
            kinds_.emplace_back(c.id, c.kind);
            switch (c.kind) {
            case ControlKind::PushButton:
                buttons_[c.id] = std::make_unique<FakeButton>(f, controlName(c.id), c.caption);
                break;
            case ControlKind::CheckBox:
                checks_[c.id] = std::make_unique<FakeCheckBox>(f, controlName(c.id));
                break;
            case ControlKind::Timer:
                timers_[c.id] = std::make_unique<FakeTimer>(f, loop, controlName(c.id),
                                                            [this, id = c.id] { events_.onTimer(id); });
                break;
            default:
                break;
            }
            if (takesBackColor(c.kind)) backColors_[c.id] = kWhite;
        }
    }

    // What a user does, delivered as the platform would: posted to the queue.
    void postClick(ControlId control) {
        loop_.post([this, control] { click(control); });
    }
    // A click handled right now, as when the test stands in for the dispatcher.
    void click(ControlId control) {
        if (auto it = checks_.find(control); it != checks_.end()) {
            // A check box toggles itself before its click event.
            auto& box = *it->second;
            box.setValue(box.value() == 1 ? 0 : 1);
        }
        events_.onClick(control);
    }
    void mouseMove(ControlId control) { events_.onMouseMove(control); }
    // The user's colours changed: high contrast, the scheme or the theme.
    void systemColoursChanged() { events_.onColoursChanged(); }
    void requestClose() { events_.onQueryUnload(); }
    // The user minimizes the window with its minimize box.
    void minimize() {
        windowState_ = kStateMinimized;
        events_.onResize();
    }

    FakeButton& fakeButton(ControlId n) { return *buttons_.at(n); }
    FakeCheckBox& fakeCheck(ControlId n) { return *checks_.at(n); }
    FakeTimer& fakeTimer(ControlId n) { return *timers_.at(n); }
    const WindowLayout& design() const { return design_; }
    Picture icon;
    int focusCalls = 0;
    int onScreenChecks = 0;
    int showCalls = 0;
    std::vector<SkinColours> skins;
    WindowPaint paint;                                             // what the window is painted in
    std::map<ControlId, std::string> descriptions;                 // for assistive technology
    std::vector<std::pair<ControlId, std::string>> announcements;  // read out, in order

    // Window
    WindowHandle handle() override { return 0x0BADF00D; }
    std::string caption() override { return caption_; }
    void setCaption(const std::string& c) override {
        failures_.check("window.setCaption");
        caption_ = c;
    }
    void setIcon(const Picture& p) override {
        failures_.check("window.setIcon");
        icon = p;
    }
    Colour backColor() override { return backColor_; }
    void setBackColor(Colour c) override {
        failures_.check("window.setBackColor");
        backColor_ = c;
        events_.onColoursChanged();
    }
    int mousePointer() override {
        failures_.check("window.mousePointer");
        return pointer_;
    }
    void setMousePointer(int p) override {
        failures_.check("window.setMousePointer");
        ++pointerWrites;
        pointer_ = p;
    }
    Picture mouseIcon() override { return mouseIcon_; }
    void setMouseIcon(const Picture& p) override {
        failures_.check("window.setMouseIcon");
        mouseIcon_ = p;
    }
    int windowState() override {
        failures_.check("window.windowState");
        return windowState_;
    }
    void setWindowState(int s) override {
        failures_.check("window.setWindowState");
        const bool changed = s != windowState_;
        windowState_ = s;
        if (changed && shown_) events_.onResize();  // a state change raises a resize event
    }
    bool visible() override { return visible_; }
    void setVisible(bool v) override {
        failures_.check("window.setVisible");
        visible_ = v;
    }
    void setFocus() override {
        failures_.check("window.setFocus");
        ++focusCalls;
    }
    void bringOntoScreen() override { ++onScreenChecks; }
    ButtonControl& button(ControlId n) override { return *buttons_.at(n); }
    CheckBoxControl& checkBox(ControlId n) override { return *checks_.at(n); }
    TimerControl& timer(ControlId n) override { return *timers_.at(n); }
    std::vector<std::pair<ControlId, ControlKind>> controls() override { return kinds_; }
    void setControlBackColor(ControlId n, Colour c) override {
        auto it = backColors_.find(n);
        if (it == backColors_.end()) throw PlatformError("Object doesn't support this property or method");
        it->second = c;
        events_.onColoursChanged();
    }
    Colour controlBackColor(ControlId n) override { return backColors_.at(n); }
    void applySkin(const SkinColours& c) override {
        skins.push_back(c);
        events_.onColoursChanged();
    }
    std::optional<SkinColours> skin() override {
        return skins.empty() ? std::nullopt : std::optional(skins.back());
    }
    void setPaint(const WindowPaint& p) override { paint = p; }
    void setDescription(ControlId n, const std::string& text) override { descriptions[n] = text; }
    void announce(ControlId n, const std::string& text) override { announcements.emplace_back(n, text); }
    void setLocked(ControlId n, const std::string& reason) override {
        failures_.check("window.setLocked");
        if (reason.empty())
            lockReasons.erase(n);
        else
            lockReasons[n] = reason;
    }
    std::map<ControlId, std::string> lockReasons;  // the locked controls, with why
    void show() override {
        ++showCalls;
        shown_ = true;
        visible_ = true;
        if (windowState_ == kStateMinimized) events_.onResize();
    }

    int pointerWrites = 0;

private:
    Failures& failures_;
    FakeLoop& loop_;
    WindowLayout design_;
    WindowEvents& events_;
    std::string caption_;
    Colour backColor_;
    int pointer_ = kPointerDefault;
    Picture mouseIcon_;
    int windowState_ = kStateNormal;
    bool visible_ = false;
    bool shown_ = false;
    std::vector<std::pair<ControlId, ControlKind>> kinds_;
    std::map<ControlId, std::unique_ptr<FakeButton>> buttons_;
    std::map<ControlId, std::unique_ptr<FakeCheckBox>> checks_;
    std::map<ControlId, std::unique_ptr<FakeTimer>> timers_;
    std::map<ControlId, Colour> backColors_;
};

class FakeUi : public Ui {
public:
    FakeUi(Failures& f, FakeLoop& loop) : failures_(f), loop_(loop) {}
    std::unique_ptr<Window> createWindow(WindowLayout design, WindowEvents& events) override {
        auto w = std::make_unique<FakeWindow>(failures_, loop_, design, events);
        window = w.get();
        return w;
    }
    Picture programIcon() override {
        failures_.check("programIcon");
        return {Picture::Icon, 0x1C0};
    }
    Picture trayIcon() override { return trayIcon(trayDpi); }
    // One picture per small-icon size, as the platform keeps them.
    Picture trayIcon(int dpi) override {
        failures_.check("trayIcon");
        if (dpi <= 0 || dpi > 960) throw PlatformError(errtext::kInvalidCall);
        return {Picture::Icon, 0x7000u + static_cast<std::uintptr_t>((16 * dpi + 48) / 96)};
    }
    Picture loadPicture(const std::wstring& path) override {
        failures_.check("loadPicture");
        auto it = pictures.find(path);
        if (it == pictures.end()) throw PlatformError(errtext::kFileNotFound);
        if (it->second.empty()) throw PlatformError(errtext::kInvalidPicture);
        return it->second;
    }
    bool highContrast() override { return highContrastOn; }
    std::map<std::wstring, Picture> pictures;  // loadable picture files; an empty one is damaged
    bool highContrastOn = false;
    int trayDpi = 96;  // the DPI the notification area is drawn at
    FakeWindow* window = nullptr;

private:
    Failures& failures_;
    FakeLoop& loop_;
};

}  // namespace glance::fake
