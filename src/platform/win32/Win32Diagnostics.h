// The diagnostic channel through OutputDebugStringW: a debug viewer (or a
// debugger) shows each line, and nothing is written anywhere else.
#pragma once

#include "platform/Diagnostics.h"

namespace glance::win32 {

// Writes "GlanceRefresher: <operation>: error 0x<code>" as one line. Safe in
// any callback, out of memory included: it allocates nothing.
void writeDiagnostic(std::string_view operation, ErrorCode code) noexcept;

class Win32Diagnostics : public Diagnostics {
public:
    void noteFailure(std::string_view operation, ErrorCode code) noexcept override {
        writeDiagnostic(operation, code);
    }
};

}  // namespace glance::win32
