// The diagnostic channel as a debug viewer reads it: the system's debug
// output buffer, one line per note with the operation and the code.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "core/Error.h"
#include "platform/win32/UniqueHandle.h"
#include "platform/win32/Win32Diagnostics.h"

namespace glance::win32 {
namespace {

// What DebugView does: own the buffer and its two events, say it is ready,
// and take the text that a process writes there.
class DebugViewer {
public:
    DebugViewer()
        : ready_(CreateEventW(nullptr, FALSE, FALSE, L"DBWIN_BUFFER_READY")),
          written_(CreateEventW(nullptr, FALSE, FALSE, L"DBWIN_DATA_READY")),
          buffer_(CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, 4096, L"DBWIN_BUFFER")) {
        view_ = static_cast<const char*>(MapViewOfFile(buffer_.get(), FILE_MAP_READ, 0, 0, 4096));
        SetEvent(ready_.get());
    }
    ~DebugViewer() {
        if (view_) UnmapViewOfFile(view_);
    }
    DebugViewer(const DebugViewer&) = delete;
    DebugViewer& operator=(const DebugViewer&) = delete;

    // The next line written, after the process id that leads the buffer.
    std::string next() {
        if (WaitForSingleObject(written_.get(), 5000) != WAIT_OBJECT_0) return "<nothing>";
        return std::string(view_ + sizeof(DWORD));
    }

private:
    UniqueKernelHandle ready_;
    UniqueKernelHandle written_;
    UniqueKernelHandle buffer_;
    const char* view_ = nullptr;
};

TEST(Win32Diagnostics, ADebugViewerReadsOneLineWithTheOperationAndTheCode) {
    DebugViewer viewer;
    Win32Diagnostics diagnostics;
    diagnostics.noteFailure("start-up entry repair", systemErrorCode(ERROR_ACCESS_DENIED));
    EXPECT_EQ(viewer.next(), "GlanceRefresher: start-up entry repair: error 0x80070005\n");
}

}  // namespace
}  // namespace glance::win32
