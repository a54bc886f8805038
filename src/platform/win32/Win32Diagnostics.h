// The diagnostic channel through OutputDebugStringW: a debug viewer (or a
// debugger) shows each line, and nothing is written anywhere else.
#pragma once

#include "platform/Diagnostics.h"

namespace glance::win32 {

// Writes "GlanceRefresher: <operation>: error 0x<code>" as one line. Safe in
// any callback, out of memory included: it allocates nothing.
void writeDiagnostic(std::string_view operation, ErrorCode code) noexcept;

// Writes the failure in flight (PlatformError's code, out of memory, or
// "invalid call" for anything else) to the diagnostic channel.
void noteCallbackFailure(const char* where) noexcept;

// The edge of a window or subclass procedure, which no exception may cross:
// the handler's answer, or, when it throws, the failure noted and the
// fallback's answer, so that the system's call returns normally.
template <class Handler, class Fallback>
auto atCallbackEdge(const char* where, Handler&& handler, Fallback&& fallback) noexcept
    -> decltype(fallback()) {
    try {
        return handler();
    } catch (...) {
        noteCallbackFailure(where);
        return fallback();
    }
}

class Win32Diagnostics : public Diagnostics {
public:
    void noteFailure(std::string_view operation, ErrorCode code) noexcept override {
        writeDiagnostic(operation, code);
    }
};

}  // namespace glance::win32
