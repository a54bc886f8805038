// File states asked on a pool thread: a volume that does not answer (a share
// whose server is down) blocks that thread for the system's network time-out,
// never the window's. The answer reaches its taker at top level, between two
// messages; whether it came in time is judged by when the worker ended, so a
// message box open meanwhile neither loses an answer that came in time nor
// lets a late one through.
#include <windows.h>

#include "platform/win32/Win32FileState.h"
#include "platform/win32/Win32FileSystem.h"

namespace glance::win32 {
namespace {

// fileState and extendedPath keep no statics: the pool thread may call them.
struct AskedStates : PoolWork {
    AskedStates(std::vector<std::wstring> asked, double seconds)
        : paths(std::move(asked)),
          states(paths.size()),
          patience(seconds > 0 ? static_cast<DWORD>(seconds * 1000) : 0) {}
    void run() override {
        for (std::size_t i = 0; i < paths.size(); ++i) states[i] = fileState(paths[i]);
        inTime = GetTickCount() - askedAt < patience;
    }
    const std::vector<std::wstring> paths;
    std::vector<FileState> states;
    const DWORD askedAt = GetTickCount();
    const DWORD patience;  // milliseconds
    bool inTime = false;
};

}  // namespace

// One open question: its job, and what takes its answer once the job ends.
struct Win32FileSystem::Question : WakeAction {
    Question(Win32FileSystem& owner, std::unique_ptr<PoolWork> work, std::unique_ptr<FileStatesAnswer> taker)
        : files(owner), job(std::move(work), owner.wakes_, this), answer(std::move(taker)) {}
    void signalled() override { files.answer(*this); }
    Win32FileSystem& files;
    PoolJob job;
    std::unique_ptr<FileStatesAnswer> answer;
    std::unique_ptr<Question> next;  // the question asked before it
};

Win32FileSystem::Win32FileSystem(Win32WakeHandles* wakes) : wakes_(wakes) {}
Win32FileSystem::~Win32FileSystem() = default;

void Win32FileSystem::askFileStates(std::vector<std::wstring> paths, double seconds,
                                    std::unique_ptr<FileStatesAnswer> answer) {
    auto question = std::make_unique<Question>(
        *this, std::make_unique<AskedStates>(std::move(paths), seconds), std::move(answer));
    question->job.start();
    question->next = std::move(questions_);
    questions_ = std::move(question);
}

void Win32FileSystem::answer(Question& question) {
    const auto& asked = question.job.work<AskedStates>();
    if (!question.job.failed() && asked.inTime) {
        try {
            question.answer->answer(asked.states);
        } catch (...) {
            // The answer keeps its own failures: none ends the program's loop.
        }
    }
    std::unique_ptr<Question>* link = &questions_;
    while (link->get() != &question) link = &(*link)->next;
    *link = std::move(question.next);  // which ends the question
}

}  // namespace glance::win32
