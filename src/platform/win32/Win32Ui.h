// The user interface through user32 and gdi32: the main window with its
// controls, the pictures the program carries, and pictures loaded from files.
#pragma once

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "platform/Ui.h"
#include "platform/win32/UniqueHandle.h"

namespace glance::win32 {

class Win32Ui : public Ui {
public:
    std::unique_ptr<Window> createWindow(WindowLayout design, WindowEvents& events) override;
    Picture programIcon() override;
    Picture trayIcon() override;
    Picture trayIcon(int dpi) override;
    // Icons and cursors (.ico, .cur) and bitmaps (.bmp); the file's own header
    // decides which, not its name. The picture lives as long as this object.
    Picture loadPicture(const std::wstring& path) override;
    bool highContrast() override;

private:
    std::vector<UniqueHicon> icons_;  // and cursors, from files
    std::vector<UniqueHbitmap> bitmaps_;
    std::vector<std::pair<int, UniqueHicon>> trayIcons_;  // by size in pixels
};

}  // namespace glance::win32
