// Runs the labelled steps of a handler. A step that fails is reported in a box
// (or, for deliberately silent work, noted on the diagnostic channel) and the
// handler goes on with the next step; what the step did before it failed stays
// done.
//
//   StepTrap trap = StepTrap::reporting(system, tag::kTick);
//   trap.step(104, [&] { timer.setEnabled(false); });
//   if (trap.test(100, [&] { return caption() == "Turn On"; })) { ...branch... }
#pragma once

#include <cstdint>
#include <exception>
#include <functional>
#include <new>
#include <string>
#include <string_view>

#include "core/Error.h"
#include "core/HandlerErrors.h"

namespace glance {

class StepTrap {
public:
    using OnFailure = std::function<void(std::int32_t label, const PlatformError& error)>;

    explicit StepTrap(OnFailure onFailure) : onFailure_(std::move(onFailure)) {}

    // Shows each failure in the "Application Error" box with the handler's tag.
    // The tag is copied, so the trap never refers to a caller's temporary text.
    template <class MessageBoxes>
    static StepTrap reporting(MessageBoxes& boxes, std::string_view handlerTag) {
        return StepTrap(
            [&boxes, handlerTag = std::string(handlerTag)](std::int32_t label, const PlatformError& error) {
                reportHandlerError(boxes, handlerTag, label, error.what());
            });
    }
    // Shows nothing: writes each failure's operation (with the step's label,
    // when it has one) and code to the diagnostic channel of log (anything
    // with the platform's noteFailure(operation, code)).
    template <class DiagnosticLog>
    static StepTrap noting(DiagnosticLog& log, std::string_view operation) {
        return StepTrap(
            [&log, operation = std::string(operation)](std::int32_t label, const PlatformError& error) {
                log.noteFailure(label == 0 ? operation : operation + " at line " + std::to_string(label),
                                error.code());
            });
    }
    // Only counts failures.
    static StepTrap silent() { return StepTrap(nullptr); }

    // Runs one step. Returns false when it failed.
    template <class Action>
    bool step(std::int32_t label, Action&& action) {
        try {
            action();
            return true;
        } catch (const PlatformError& e) {
            fail(label, e);
        } catch (const std::bad_alloc&) {
            fail(label, errtext::kOutOfMemory);
        } catch (const std::exception& e) {
            fail(label, PlatformError(e.what()));
        }
        return false;
    }

    // Runs a condition test. Returns its result, or true when the test itself
    // failed: a failed test goes on with the step written right after it.
    template <class Predicate>
    bool test(std::int32_t label, Predicate&& predicate) {
        bool result = true;
        step(label, [&] { result = predicate(); });
        return result;
    }

    bool anyFailed() const { return failures_ > 0; }
    int failures() const { return failures_; }

private:
    void fail(std::int32_t label, const PlatformError& error) {
        ++failures_;
        if (!onFailure_) return;
        // A report that cannot be shown must not stop the handler: the steps
        // after it (ending the program on close, re-enabling the timer) still run.
        try {
            onFailure_(label, error);
        } catch (const std::exception&) {
        }
    }

    OnFailure onFailure_;
    int failures_ = 0;
};

}  // namespace glance
