// Windows, simulated as far as the tray hook needs: each window has a
// procedure slot and a user-data slot, and a sent message runs the procedure
// that is installed at that moment.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "Failures.h"
#include "platform/Windowing.h"

namespace glance::fake {

class FakeWindowing : public Windowing {
public:
    explicit FakeWindowing(Failures& failures) : failures_(failures) {}

    struct Window {
        std::intptr_t proc = 0;  // the window's own procedure: a distinct fake address
        std::intptr_t userData = 0;
        WindowHandle owner = 0;
        std::vector<std::uint32_t> ownProcMessages;  // messages that reached the own procedure
        std::intptr_t ownProcResult = 0;
    };
    std::map<WindowHandle, Window> windows;

    // Sends a message to a window through its current procedure.
    std::intptr_t send(WindowHandle w, std::uint32_t message, std::uintptr_t wParam, std::intptr_t lParam) {
        return callWindowProc(windows.at(w).proc, w, message, wParam, lParam);
    }
    // The address of a window's own (original) procedure.
    static std::intptr_t ownProcAddress(WindowHandle w) { return static_cast<std::intptr_t>(0x70000000 + w); }

    std::intptr_t setWindowLong(WindowHandle w, int index, std::intptr_t value) override {
        failures_.check("setWindowLong");
        auto& win = windows.at(w);
        std::intptr_t& slot = index == kGwlWndProc ? win.proc : win.userData;
        const std::intptr_t old = slot;
        slot = value;
        return old;
    }
    std::intptr_t getWindowLong(WindowHandle w, int index) override {
        auto& win = windows.at(w);
        return index == kGwlWndProc ? win.proc : win.userData;
    }
    std::intptr_t callWindowProc(std::intptr_t procedure, WindowHandle w, std::uint32_t message,
                                 std::uintptr_t wParam, std::intptr_t lParam) override {
        for (std::size_t i = 0; i < procs_.size(); ++i)
            if (procedure == procBase + static_cast<std::intptr_t>(i))
                return procs_[i](w, message, wParam, lParam);
        auto& win = windows.at(w);
        if (procedure != ownProcAddress(w)) return -1;  // a stale or wrong procedure
        win.ownProcMessages.push_back(message);
        return win.ownProcResult;
    }
    std::intptr_t procedureAddress(PortableWindowProc proc) override {
        for (std::size_t i = 0; i < procs_.size(); ++i)
            if (procs_[i] == proc) return procBase + static_cast<std::intptr_t>(i);
        procs_.push_back(proc);
        return procBase + static_cast<std::intptr_t>(procs_.size() - 1);
    }
    std::uint32_t registerWindowMessage(const std::string& name) override {
        auto [it, added] =
            registered_.try_emplace(name, 0xC000 + static_cast<std::uint32_t>(registered_.size()));
        return it->second;
    }
    WindowHandle createControlWindow(WindowHandle owner) override {
        failures_.check("createControlWindow");
        const WindowHandle w = nextHandle_++;
        windows[w] = Window{ownProcAddress(w), 0, owner, {}, 0};
        return w;
    }
    void destroyWindow(WindowHandle w) override { windows.erase(w); }

    static constexpr std::intptr_t procBase = 0x50000000;

private:
    Failures& failures_;
    std::vector<PortableWindowProc> procs_;
    std::map<std::string, std::uint32_t> registered_;
    WindowHandle nextHandle_ = 0x1000;
};

}  // namespace glance::fake
