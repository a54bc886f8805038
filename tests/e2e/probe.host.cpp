// A small Windows program the e2e tests run beside the product, in the same
// Wine desktop, to read what a person would see: a window's caption, client
// size and controls with their screen places and styles, message boxes and
// their text, the focused control, and the icons in the notification area.
// Prints one line per item on stdout.
//
//   probe window <caption>     window and every child: class, text, screen rect, style
//   probe box <title>          a message box with this title: its texts
//   probe press <title> <btn>  presses a message box button (by its text)
//   probe tray                 notification-area icon windows and their rects
//   probe focus                caption of the foreground window and its focused control
//   probe hit <caption> <what> the screen point of a caption button: close, min
//   probe session <caption> <step>  sends the end of the Windows session to the
//                              window: query (prints its answer), end, cancel; closeapp (the pair
//                              Restart Manager sends); installer (sets the copy's close request)
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>

namespace {

std::string textOf(HWND w) {
    char buf[1024] = {};
    SendMessageTimeoutA(w, WM_GETTEXT, sizeof buf, reinterpret_cast<LPARAM>(buf), SMTO_ABORTIFHUNG, 2000,
                        nullptr);
    for (char* p = buf; *p; ++p)
        if (*p == '\r' || *p == '\n') *p = '|';
    return buf;
}

std::string classOf(HWND w) {
    char buf[256] = {};
    GetClassNameA(w, buf, sizeof buf);
    return buf;
}

void printRect(const char* kind, HWND w) {
    RECT r;
    GetWindowRect(w, &r);
    std::printf("%s class=%s x=%ld y=%ld w=%ld h=%ld visible=%d style=0x%08lx text=%s\n", kind,
                classOf(w).c_str(), r.left, r.top, r.right - r.left, r.bottom - r.top,
                IsWindowVisible(w) ? 1 : 0, static_cast<unsigned long>(GetWindowLongA(w, GWL_STYLE)),
                textOf(w).c_str());
}

BOOL CALLBACK printChild(HWND w, LPARAM) {
    printRect("child", w);
    return TRUE;
}

int window(const char* caption) {
    HWND w = FindWindowA(nullptr, caption);
    if (!w) return 1;
    RECT client;
    GetClientRect(w, &client);
    POINT origin{0, 0};
    ClientToScreen(w, &origin);
    const LONG style = GetWindowLongA(w, GWL_STYLE);
    std::printf(
        "window client_w=%ld client_h=%ld client_x=%ld client_y=%ld maximizebox=%d sizebox=%d "
        "minimizebox=%d iconic=%d\n",
        client.right, client.bottom, origin.x, origin.y, (style & WS_MAXIMIZEBOX) ? 1 : 0,
        (style & WS_THICKFRAME) ? 1 : 0, (style & WS_MINIMIZEBOX) ? 1 : 0, IsIconic(w) ? 1 : 0);
    printRect("frame", w);
    EnumChildWindows(w, printChild, 0);
    return 0;
}

HWND findBox(const char* title) {
    HWND w = nullptr;
    while ((w = FindWindowExA(nullptr, w, "#32770", nullptr)) != nullptr)
        if (textOf(w) == title) return w;
    return nullptr;
}

int box(const char* title) {
    HWND w = findBox(title);
    if (!w) return 1;
    printRect("box", w);
    EnumChildWindows(w, printChild, 0);
    return 0;
}

struct Press {
    const char* text;
    HWND found;
};

BOOL CALLBACK findButton(HWND w, LPARAM p) {
    auto* press = reinterpret_cast<Press*>(p);
    if (classOf(w) == "Button" && textOf(w) == press->text) {
        press->found = w;
        return FALSE;
    }
    return TRUE;
}

int press(const char* title, const char* button) {
    HWND w = findBox(title);
    if (!w) return 1;
    Press p{button, nullptr};
    EnumChildWindows(w, findButton, reinterpret_cast<LPARAM>(&p));
    if (!p.found) return 2;
    PostMessageA(w, WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(p.found), BN_CLICKED),
                 reinterpret_cast<LPARAM>(p.found));
    return 0;
}

BOOL CALLBACK printTrayChild(HWND w, LPARAM) {
    printRect("icon", w);
    return TRUE;
}

int tray() {
    HWND taskbar = FindWindowA("Shell_TrayWnd", nullptr);
    if (!taskbar) return 1;
    printRect("taskbar", taskbar);
    EnumChildWindows(taskbar, printTrayChild, 0);
    return 0;
}

// Scans the window's title bar for the points where the window itself reports
// the given hit-test code, and prints their centre.
int hit(const char* caption, const char* what) {
    HWND w = FindWindowA(nullptr, caption);
    if (!w) return 1;
    const LRESULT code = !std::strcmp(what, "close") ? HTCLOSE : !std::strcmp(what, "min") ? HTMINBUTTON : -1;
    RECT r;
    GetWindowRect(w, &r);
    long sx = 0, sy = 0, n = 0;
    for (LONG y = r.top; y < r.top + 40 && y < r.bottom; ++y)
        for (LONG x = r.left; x < r.right; ++x)
            if (SendMessageA(w, WM_NCHITTEST, 0, MAKELPARAM(x, y)) == code) {
                sx += x;
                sy += y;
                ++n;
            }
    if (!n) return 1;
    std::printf("%ld %ld\n", sx / n, sy / n);
    return 0;
}

// What Windows sends at log-off or shut-down: first the question to every
// top-level window, then the outcome (ending TRUE, or FALSE when some program
// refused). Sent with a timeout: a window that ends its process inside the
// message gives no answer.
int session(const char* caption, const char* step) {
    HWND w = FindWindowA(nullptr, caption);
    if (!w) return 1;
    DWORD_PTR answer = 0;
    if (!std::strcmp(step, "query")) {
        if (!SendMessageTimeoutA(w, WM_QUERYENDSESSION, 0, 0, SMTO_ABORTIFHUNG, 5000, &answer)) {
            std::printf("query no-answer\n");
            return 0;
        }
        std::printf("query answer=%d\n", answer ? 1 : 0);
        return 0;
    }
    if (!std::strcmp(step, "closeapp")) {
        SendMessageTimeoutA(w, WM_QUERYENDSESSION, 0, ENDSESSION_CLOSEAPP, SMTO_ABORTIFHUNG, 5000, &answer);
        std::printf("closeapp answer=%d\n", answer ? 1 : 0);
        SendMessageTimeoutA(w, WM_ENDSESSION, TRUE, ENDSESSION_CLOSEAPP, SMTO_ABORTIFHUNG, 5000, &answer);
        return 0;
    }
    if (!std::strcmp(step, "installer")) {
        DWORD id = 0;
        GetWindowThreadProcessId(w, &id);
        // As the installers find it: the random part of its name is in the copy's user's hive.
        char random[64] = "";
        DWORD size = sizeof random;
        RegGetValueA(HKEY_CURRENT_USER, "Software\\Quillhaven.GlanceRefresher.CloseRequests",
                     std::to_string(id).c_str(), RRF_RT_REG_SZ, nullptr, random, &size);
        const std::string name =
            "Global\\Quillhaven.LumenfoldGlanceRefresher.Close." + std::to_string(id) + "." + random;
        HANDLE request = OpenEventA(EVENT_MODIFY_STATE, FALSE, name.c_str());
        std::printf("installer %s\n", request && SetEvent(request) ? "set" : "no-request");
        if (request) CloseHandle(request);
        return 0;
    }
    const WPARAM ending = !std::strcmp(step, "end") ? TRUE : FALSE;
    if (std::strcmp(step, "end") && std::strcmp(step, "cancel")) return 2;
    SendMessageTimeoutA(w, WM_ENDSESSION, ending, 0, SMTO_ABORTIFHUNG, 5000, &answer);
    std::printf("%s sent\n", step);
    return 0;
}

int focus() {
    HWND w = GetForegroundWindow();
    std::printf("foreground text=%s\n", w ? textOf(w).c_str() : "");
    // The control that has the keyboard focus in the foreground window's thread.
    GUITHREADINFO info{};
    info.cbSize = sizeof(info);
    if (w && GetGUIThreadInfo(GetWindowThreadProcessId(w, nullptr), &info) && info.hwndFocus)
        printRect("keyfocus", info.hwndFocus);
    return 0;
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    const int argc = __argc;
    char** argv = __argv;
    if (argc < 2) return 2;
    int rc = 2;
    if (!std::strcmp(argv[1], "window") && argc == 3) rc = window(argv[2]);
    if (!std::strcmp(argv[1], "box") && argc == 3) rc = box(argv[2]);
    if (!std::strcmp(argv[1], "press") && argc == 4) rc = press(argv[2], argv[3]);
    if (!std::strcmp(argv[1], "tray")) rc = tray();
    if (!std::strcmp(argv[1], "focus")) rc = focus();
    if (!std::strcmp(argv[1], "hit") && argc == 4) rc = hit(argv[2], argv[3]);
    if (!std::strcmp(argv[1], "session") && argc == 4) rc = session(argv[2], argv[3]);
    std::fflush(stdout);
    return rc;
}
