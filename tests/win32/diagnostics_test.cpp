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

TEST(Win32Diagnostics, ADebugViewerReadsOneLineWithTheOperationAndTheCode) {
    // What DebugView does: own the buffer and its two events, say it is ready,
    // and take the text that a process writes there, after its process id.
    UniqueKernelHandle ready(CreateEventW(nullptr, FALSE, FALSE, L"DBWIN_BUFFER_READY")),
        written(CreateEventW(nullptr, FALSE, FALSE, L"DBWIN_DATA_READY")),
        buffer(CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, 4096, L"DBWIN_BUFFER"));
    const auto* view = static_cast<const char*>(MapViewOfFile(buffer.get(), FILE_MAP_READ, 0, 0, 4096));
    ASSERT_NE(view, nullptr);
    SetEvent(ready.get());

    Win32Diagnostics diagnostics;
    diagnostics.noteFailure("start-up entry repair", systemErrorCode(ERROR_ACCESS_DENIED));
    ASSERT_EQ(WaitForSingleObject(written.get(), 5000), WAIT_OBJECT_0) << "nothing written";
    EXPECT_EQ(std::string(view + sizeof(DWORD)),
              "GlanceRefresher: start-up entry repair: error 0x80070005\n");
    UnmapViewOfFile(view);
}

}  // namespace
}  // namespace glance::win32
