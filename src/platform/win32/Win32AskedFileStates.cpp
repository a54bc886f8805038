// File states asked on a pool thread: a volume that does not answer (a share
// whose server is down) blocks that thread for the system's network time-out,
// never the window's. The window's thread looks for the answer on a thread
// timer, which every message loop dispatches (message boxes' included), and
// gives up when it is late.
#include <windows.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <memory>

#include "core/Error.h"
#include "platform/win32/Win32FileState.h"
#include "platform/win32/Win32FileSystem.h"

namespace glance::win32 {
namespace {

constexpr UINT kLookMilliseconds = 50;

// What the two threads share. Each holds one reference and the last to let go
// frees it, so a worker that comes back long after the question was given up
// frees it then.
struct Shared {
    explicit Shared(std::vector<std::wstring> asked) : paths(std::move(asked)) {}
    const std::vector<std::wstring> paths;
    std::vector<FileState> states;  // the worker's until `done`, then the window thread's
    std::atomic<bool> done{false};
    LONG references = 2;
};

void release(Shared* shared) {
    if (InterlockedDecrement(&shared->references) == 0) delete shared;
}

// The pool thread. The build turns off the guards of function-local statics
// (-fno-threadsafe-statics), so this thread must never be the first to touch
// one: it reads only its own block and calls GetFileAttributesW through
// fileState and extendedPath, which keep no statics.
DWORD WINAPI askStates(void* parameter) {
    auto* shared = static_cast<Shared*>(parameter);
    for (const std::wstring& path : shared->paths) shared->states.push_back(fileState(path));
    shared->done.store(true, std::memory_order_release);
    release(shared);
    return 0;
}

// A question on the window's thread.
struct Question {
    UINT_PTR timer;
    Shared* shared;
    DWORD asked;
    DWORD patience;  // milliseconds
    std::function<void(std::vector<FileState>)> answer;
};

// The window thread's open questions. At namespace scope, built before the
// program's first line and only ever touched by the window's thread.
std::vector<std::unique_ptr<Question>> openQuestions;

void CALLBACK lookForAnswer(HWND, UINT, UINT_PTR timer, DWORD) noexcept {
    const auto it = std::find_if(openQuestions.begin(), openQuestions.end(),
                                 [&](const auto& question) { return question->timer == timer; });
    if (it == openQuestions.end()) {
        KillTimer(nullptr, timer);
        return;
    }
    Question& question = **it;
    const bool done = question.shared->done.load(std::memory_order_acquire);
    if (!done && GetTickCount() - question.asked < question.patience) return;
    KillTimer(nullptr, timer);
    const std::unique_ptr<Question> closed = std::move(*it);
    openQuestions.erase(it);
    std::vector<FileState> states;
    if (done) states = std::move(closed->shared->states);
    release(closed->shared);
    if (!done) return;
    try {
        closed->answer(std::move(states));
    } catch (...) {
        // An exception never crosses the system's callback; the answer keeps
        // its own failures.
    }
}

}  // namespace

void Win32FileSystem::askFileStates(std::vector<std::wstring> paths, double seconds,
                                    std::function<void(std::vector<FileState>)> answer) {
    auto question = std::make_unique<Question>();
    question->patience = static_cast<DWORD>(std::clamp(std::ceil(seconds * 1000), 0.0, 3600000.0));
    question->answer = std::move(answer);
    question->timer = SetTimer(nullptr, 0, kLookMilliseconds, lookForAnswer);
    if (question->timer == 0) throw PlatformError(systemErrorCode(GetLastError()));
    question->shared = new Shared(std::move(paths));
    question->asked = GetTickCount();
    if (!QueueUserWorkItem(askStates, question->shared, WT_EXECUTELONGFUNCTION)) {
        const DWORD error = GetLastError();
        KillTimer(nullptr, question->timer);
        delete question->shared;
        throw PlatformError(systemErrorCode(error));
    }
    openQuestions.push_back(std::move(question));
}

}  // namespace glance::win32
