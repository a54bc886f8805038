#include "platform/win32/Win32Ui.h"

#include <windows.h>

#include <cstdint>
#include <optional>
#include <string>
#include <utility>

#include "../../../res/resource.h"
#include "core/Error.h"
#include "platform/win32/LazyImports.h"
#include "platform/win32/UniqueHandle.h"
#include "platform/win32/Win32Dpi.h"
#include "platform/win32/Win32FileState.h"
#include "platform/win32/Win32FileSystem.h"
#include "platform/win32/Win32PictureFile.h"
#include "platform/win32/Win32Window.h"

namespace glance::win32 {

namespace {

// A DPI beyond 1000 % is a caller's fault, not a screen's: an absurd one would
// ask for an icon of megabytes.
constexpr int kMaxDpi = 10 * kDefaultDpi;

[[noreturn]] void resourceMissing(int id) {
    throw PlatformError("Resource with identifier '" + std::to_string(id) + "' not found");
}

// An icon resource at a size of its own, owned by the caller. The common
// controls' LoadIconWithScaleDown picks the image of that size, or scales a
// larger one down rather than a smaller one up: it is LoadIconMetric, which the
// shell recommends for notification icons, with the size given by the caller
// instead of taken from the thread's system metrics. Only version 6 of
// comctl32 (with the manifest) has it; LoadImage stands in without it.
UniqueHicon resourceIconAtSize(int id, int size) {
    HINSTANCE module = GetModuleHandleW(nullptr);
    HICON icon = nullptr;
    try {
        const auto scaleDown = lazy::comctl32().LoadIconWithScaleDown;
        if (scaleDown == nullptr || FAILED(scaleDown(module, MAKEINTRESOURCEW(id), size, size, &icon)))
            icon = nullptr;
    } catch (const PlatformError&) {
        icon = nullptr;  // no common controls at all: LoadImage still can
    }
    if (icon == nullptr)
        icon = static_cast<HICON>(LoadImageW(module, MAKEINTRESOURCEW(id), IMAGE_ICON, size, size, 0));
    if (icon == nullptr) resourceMissing(id);
    return UniqueHicon(icon);
}

// Larger than any icon, cursor or bitmap the window could use.
constexpr std::size_t kMaxPictureFile = 16 * 1024 * 1024;

}  // namespace

std::unique_ptr<Window> Win32Ui::createWindow(WindowLayout design, WindowEvents& events) {
    return std::make_unique<Win32Window>(std::move(design), events);
}

Picture Win32Ui::programIcon() {
    // LR_SHARED: the system owns the icon, which lives as long as the module.
    HANDLE icon = LoadImageW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDI_PROGRAM), IMAGE_ICON, 0, 0,
                             LR_SHARED | LR_DEFAULTSIZE);
    if (icon == nullptr) resourceMissing(IDI_PROGRAM);
    return Picture{Picture::Icon, reinterpret_cast<std::uintptr_t>(icon)};
}

Picture Win32Ui::trayIcon() {
    // At the DPI of the monitor that shows the notification area: the one of
    // the main taskbar, which need not be the monitor of any of our windows.
    HWND taskbar = FindWindowW(L"Shell_TrayWnd", nullptr);
    return trayIcon(taskbar != nullptr ? dpiForWindow(taskbar) : systemDpi());
}

Picture Win32Ui::trayIcon(int dpi) {
    if (dpi <= 0 || dpi > kMaxDpi) throw PlatformError(errtext::kInvalidCall);
    const int size = systemMetricForDpi(SM_CXSMICON, dpi);
    // One icon per size, kept while this object lives: a handle given to the
    // shell stays valid, and asking again for the same DPI gives the same
    // picture, so that a caller can tell that nothing changed.
    HICON icon = nullptr;
    for (const auto& [atSize, owned] : trayIcons_)
        if (atSize == size) icon = owned.get();
    if (icon == nullptr)
        icon = trayIcons_.emplace_back(size, resourceIconAtSize(IDI_TRAY, size)).second.get();
    return Picture{Picture::Icon, reinterpret_cast<std::uintptr_t>(icon)};
}

bool Win32Ui::highContrast() {
    HIGHCONTRASTW setting{sizeof(setting), 0, nullptr};
    return SystemParametersInfoW(SPI_GETHIGHCONTRAST, sizeof(setting), &setting, 0) &&
           (setting.dwFlags & HCF_HIGHCONTRASTON) != 0;
}

Picture Win32Ui::loadPicture(const std::wstring& path) {
    // The file is tested and read through its long form and the picture made
    // from memory, so a program folder deeper than MAX_PATH works like any
    // other: the system's own file loader would be handed the plain path.
    DWORD attributes = 0;
    if (fileState(path, &attributes) != FileState::Present || (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0)
        throw PlatformError(errtext::kFileNotFound);

    // A file that is there but cannot be read is no picture either.
    std::optional<std::string> file;
    try {
        file = Win32FileSystem().readFile(path, kMaxPictureFile);
    } catch (const PlatformError&) {
    }
    if (!file) throw PlatformError(errtext::kInvalidPicture);

    // A cursor file is an icon picture to the program, as for any picture
    // that the pointer property takes.
    const PictureFileKind kind = pictureFileKind(*file);
    if (kind == PictureFileKind::Bitmap) {
        if (UniqueHbitmap bitmap = bitmapFromFile(*file))
            return Picture{Picture::Bitmap,
                           reinterpret_cast<std::uintptr_t>(bitmaps_.emplace_back(std::move(bitmap)).get())};
    } else if (UniqueHicon icon = iconFromFile(*file, kind)) {
        return Picture{Picture::Icon,
                       reinterpret_cast<std::uintptr_t>(icons_.emplace_back(std::move(icon)).get())};
    }
    throw PlatformError(errtext::kInvalidPicture);
}

}  // namespace glance::win32
