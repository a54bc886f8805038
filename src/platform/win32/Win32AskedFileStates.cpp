// File states asked on a pool thread: a volume that does not answer (a share
// whose server is down) blocks that thread for the system's network time-out,
// never the window's. The window's thread looks for the answer on a thread
// timer, which every message loop dispatches (a message box's included), and
// gives up when it is late.
#include <windows.h>

#include <atomic>
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
    explicit Shared(std::vector<std::wstring> asked) : paths(std::move(asked)), states(paths.size()) {}
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
    // Nothing may leave a pool thread's function: a path that cannot be
    // copied (no memory) leaves the question unanswered, as a late one is.
    bool answered = true;
    try {
        for (std::size_t i = 0; i < shared->paths.size(); ++i)
            shared->states[i] = fileState(shared->paths[i]);
    } catch (...) {
        answered = false;
    }
    if (answered) shared->done.store(true, std::memory_order_release);
    release(shared);
    return 0;
}

// A question open on the window's thread, in a list of them.
struct Question {
    UINT_PTR timer;
    Shared* shared;
    DWORD asked;
    DWORD patience;  // milliseconds
    std::unique_ptr<FileStatesAnswer> answer;
    Question* next;
};
// Only ever touched by the window's thread.
Question* openQuestions = nullptr;

void CALLBACK lookForAnswer(HWND, UINT, UINT_PTR timer, DWORD) noexcept {
    Question** link = &openQuestions;
    while (*link != nullptr && (*link)->timer != timer) link = &(*link)->next;
    Question* question = *link;
    if (question == nullptr) {
        KillTimer(nullptr, timer);
        return;
    }
    const bool done = question->shared->done.load(std::memory_order_acquire);
    if (!done && GetTickCount() - question->asked < question->patience) return;
    KillTimer(nullptr, timer);
    *link = question->next;
    const std::unique_ptr<Question> closed(question);
    if (done) {
        try {
            closed->answer->answer(closed->shared->states);
        } catch (...) {
            // An exception never crosses the system's callback; the answer
            // keeps its own failures.
        }
    }
    release(closed->shared);
}

}  // namespace

void Win32FileSystem::askFileStates(std::vector<std::wstring> paths, double seconds,
                                    std::unique_ptr<FileStatesAnswer> answer) {
    // A timer left behind by a failure below finds no question and ends itself.
    const UINT_PTR timer = SetTimer(nullptr, 0, kLookMilliseconds, lookForAnswer);
    if (timer == 0) throw PlatformError(systemErrorCode(GetLastError()));
    auto* shared = new Shared(std::move(paths));
    if (!QueueUserWorkItem(askStates, shared, WT_EXECUTELONGFUNCTION)) {
        const DWORD error = GetLastError();
        delete shared;
        throw PlatformError(systemErrorCode(error));
    }
    const DWORD patience = seconds > 0 ? static_cast<DWORD>(seconds * 1000) : 0;
    openQuestions = new Question{timer, shared, GetTickCount(), patience, std::move(answer), openQuestions};
}

}  // namespace glance::win32
