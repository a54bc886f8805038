// The user interface through user32 and gdi32: the main window with its
// controls, the pictures the program carries, and pictures loaded from files.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/Ui.h"

namespace glance::win32 {

class Win32Ui : public Ui {
public:
    Win32Ui();
    ~Win32Ui() override;
    Win32Ui(const Win32Ui&) = delete;
    Win32Ui& operator=(const Win32Ui&) = delete;

    std::unique_ptr<Window> createWindow(const WindowLayout& design, WindowEvents& events) override;
    Picture programIcon() override;
    Picture trayIcon() override;
    Picture trayIcon(int dpi) override;
    // Icons and cursors (.ico, .cur) and bitmaps (.bmp); the file's own header
    // decides which, not its name. The picture lives as long as this object.
    Picture loadPicture(const std::wstring& path) override;
    bool highContrast() override;

private:
    struct LoadedPictures;
    std::unique_ptr<LoadedPictures> loaded_;
};

}  // namespace glance::win32
