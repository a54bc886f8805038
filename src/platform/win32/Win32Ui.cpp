#include "platform/win32/Win32Ui.h"

#include <windows.h>

#include <cstdint>
#include <optional>
#include <string>

#include "../../../res/resource.h"
#include "core/Error.h"
#include "platform/win32/UniqueHandle.h"
#include "platform/win32/Win32FileSystem.h"
#include "platform/win32/Win32PictureFile.h"
#include "platform/win32/Win32Window.h"

namespace glance::win32 {

struct Win32Ui::LoadedPictures {
    std::vector<UniqueHicon> icons;
    std::vector<UniqueHcursor> cursors;
    std::vector<UniqueHbitmap> bitmaps;
};

namespace {

Picture resourceIcon(int id, int size) {
    // LR_SHARED: the system owns the icon, which lives as long as the module.
    HANDLE icon = LoadImageW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(id), IMAGE_ICON, size, size,
                             LR_SHARED | (size == 0 ? LR_DEFAULTSIZE : 0));
    if (icon == nullptr)
        throw PlatformError("Resource with identifier '" + std::to_string(id) + "' not found");
    return Picture{Picture::Icon, reinterpret_cast<std::uintptr_t>(icon)};
}

// Larger than any icon, cursor or bitmap the window could use.
constexpr std::size_t kMaxPictureFile = 16 * 1024 * 1024;

}  // namespace

Win32Ui::Win32Ui() : loaded_(std::make_unique<LoadedPictures>()) {}
Win32Ui::~Win32Ui() = default;

std::unique_ptr<Window> Win32Ui::createWindow(const WindowLayout& design, WindowEvents& events) {
    return std::make_unique<Win32Window>(design, events);
}

Picture Win32Ui::programIcon() {
    return resourceIcon(IDI_PROGRAM, 0);
}

Picture Win32Ui::trayIcon() {
    return resourceIcon(IDI_TRAY, 16);
}

Picture Win32Ui::loadPicture(const std::wstring& path) {
    // The file is tested and read through its long form and the picture made
    // from memory, so a program folder deeper than MAX_PATH works like any
    // other: the system's own file loader would be handed the plain path.
    const DWORD attributes =
        path.empty() ? INVALID_FILE_ATTRIBUTES : GetFileAttributesW(extendedPath(path).c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0)
        throw PlatformError(errtext::kFileNotFound);

    // A file that is there but cannot be read is no picture either.
    std::optional<std::string> file;
    try {
        file = Win32FileSystem().readFile(path, kMaxPictureFile);
    } catch (const PlatformError&) {
    }
    if (!file) throw PlatformError(errtext::kInvalidPicture);

    switch (pictureFileKind(*file)) {
    case PictureFileKind::Cursor:
        // A cursor file is an icon picture to the program, as for any picture
        // that the pointer property takes.
        if (UniqueHcursor cursor = cursorFromFile(*file)) {
            const auto handle = reinterpret_cast<std::uintptr_t>(cursor.get());
            loaded_->cursors.push_back(std::move(cursor));
            return Picture{Picture::Icon, handle};
        }
        break;
    case PictureFileKind::Icon:
        if (UniqueHicon icon = iconFromFile(*file)) {
            const auto handle = reinterpret_cast<std::uintptr_t>(icon.get());
            loaded_->icons.push_back(std::move(icon));
            return Picture{Picture::Icon, handle};
        }
        break;
    case PictureFileKind::Bitmap:
        if (UniqueHbitmap bitmap = bitmapFromFile(*file)) {
            const auto handle = reinterpret_cast<std::uintptr_t>(bitmap.get());
            loaded_->bitmaps.push_back(std::move(bitmap));
            return Picture{Picture::Bitmap, handle};
        }
        break;
    case PictureFileKind::Unknown:
        break;
    }
    throw PlatformError(errtext::kInvalidPicture);
}

}  // namespace glance::win32
