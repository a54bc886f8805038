// The diagnostic channel, recorded: each note as its operation and code.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "platform/Diagnostics.h"

namespace glance::fake {

class FakeDiagnostics : public Diagnostics {
public:
    struct Note {
        std::string operation;
        ErrorCode code;
        friend bool operator==(const Note&, const Note&) = default;
    };
    std::vector<Note> notes;

    void noteFailure(std::string_view operation, ErrorCode code) noexcept override {
        notes.push_back({std::string(operation), code});
    }
};

}  // namespace glance::fake
