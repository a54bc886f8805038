// The diagnostic channel through OutputDebugStringW: a debug viewer (or a
// debugger) shows each line, and nothing is written anywhere else.
#pragma once

#include "platform/Diagnostics.h"

namespace glance::win32 {

// Writes "GlanceRefresher: <operation>: error 0x<code>" as one line. Safe in
// any callback, out of memory included: it allocates nothing.
void writeDiagnostic(std::string_view operation, ErrorCode code) noexcept;

// The catch at the edge of a window procedure: writes the failure in flight
// to the diagnostic channel, so that the message counts as handled and the
// system's call returns normally.
void noteCallbackFailure(const char* where) noexcept;

class Win32Diagnostics : public Diagnostics {
public:
    void noteFailure(std::string_view operation, ErrorCode code) noexcept override {
        writeDiagnostic(operation, code);
    }
};

}  // namespace glance::win32
