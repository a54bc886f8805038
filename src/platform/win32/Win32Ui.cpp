#include "platform/win32/Win32Ui.h"

#include <windows.h>

#include <array>
#include <cstdint>

#include "../../../res/resource.h"
#include "core/Error.h"
#include "platform/win32/UniqueHandle.h"
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

enum class FileKind { Unknown, Icon, Cursor, Bitmap };

// The first bytes of the file: an icon directory (reserved 0, type 1 or 2,
// at least one image) or a bitmap file header ("BM").
FileKind fileKind(const std::wstring& path) {
    UniqueFileHandle file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                      OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return FileKind::Unknown;
    std::array<unsigned char, 6> head{};
    DWORD read = 0;
    if (!ReadFile(file.get(), head.data(), static_cast<DWORD>(head.size()), &read, nullptr))
        return FileKind::Unknown;
    if (read >= 2 && head[0] == 'B' && head[1] == 'M') return FileKind::Bitmap;
    if (read < 6 || head[0] != 0 || head[1] != 0 || head[3] != 0 || (head[4] == 0 && head[5] == 0))
        return FileKind::Unknown;
    if (head[2] == 1) return FileKind::Icon;
    if (head[2] == 2) return FileKind::Cursor;
    return FileKind::Unknown;
}

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
    const DWORD attributes = GetFileAttributesW(path.c_str());
    if (path.empty() || attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0)
        throw PlatformError(errtext::kFileNotFound);

    switch (fileKind(path)) {
    case FileKind::Cursor:
        // A cursor file is an icon picture to the program, as for any picture
        // that the pointer property takes.
        if (HANDLE cursor = LoadImageW(nullptr, path.c_str(), IMAGE_CURSOR, 0, 0, LR_LOADFROMFILE)) {
            loaded_->cursors.emplace_back(static_cast<HCURSOR>(cursor));
            return Picture{Picture::Icon, reinterpret_cast<std::uintptr_t>(cursor)};
        }
        break;
    case FileKind::Icon:
        if (HANDLE icon =
                LoadImageW(nullptr, path.c_str(), IMAGE_ICON, 0, 0, LR_LOADFROMFILE | LR_DEFAULTSIZE)) {
            loaded_->icons.emplace_back(static_cast<HICON>(icon));
            return Picture{Picture::Icon, reinterpret_cast<std::uintptr_t>(icon)};
        }
        break;
    case FileKind::Bitmap:
        if (HANDLE bitmap = LoadImageW(nullptr, path.c_str(), IMAGE_BITMAP, 0, 0, LR_LOADFROMFILE)) {
            loaded_->bitmaps.emplace_back(static_cast<HBITMAP>(bitmap));
            return Picture{Picture::Bitmap, reinterpret_cast<std::uintptr_t>(bitmap)};
        }
        break;
    case FileKind::Unknown:
        break;
    }
    throw PlatformError(errtext::kInvalidPicture);
}

}  // namespace glance::win32
