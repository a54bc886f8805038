// How long the program's window goes without answering: finds the window by
// its caption (the second argument; default the program's), then sends it WM_NULL every 10 ms for the given seconds and
// prints the longest time between two answers (a window that never answers
// within 5 s counts as that). bench/engine.sh runs it while a listing of a
// large desktop is in progress.
#include <windows.h>

#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv) {
    const double seconds = argc > 1 ? std::atof(argv[1]) : 10;
    const char* caption = argc > 2 ? argv[2] : "Lumenfold Live Shell Glance Refresher Utility";
    HWND window = nullptr;
    for (int i = 0; i < 3000 && window == nullptr; ++i) {
        window = FindWindowA(nullptr, caption);
        if (window == nullptr) Sleep(10);
    }
    if (window == nullptr) {
        std::printf("no window\n");
        return 1;
    }
    LARGE_INTEGER frequency{}, start{}, now{};
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&start);
    const auto elapsed = [&] {
        QueryPerformanceCounter(&now);
        return static_cast<double>(now.QuadPart - start.QuadPart) / static_cast<double>(frequency.QuadPart);
    };
    double lastAnswer = 0, longest = 0;
    int probes = 0;
    while (elapsed() < seconds) {
        DWORD_PTR result = 0;
        SendMessageTimeoutW(window, WM_NULL, 0, 0, SMTO_NORMAL, 5000, &result);
        const double answered = elapsed();
        if (answered - lastAnswer > longest) longest = answered - lastAnswer;
        lastAnswer = answered;
        ++probes;
        Sleep(10);
    }
    std::printf("%.0f ms longest unanswered over %d probes in %.0f s\n", longest * 1000, probes, seconds);
    return 0;
}
