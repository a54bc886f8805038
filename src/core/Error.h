// The one error type of the program: an operation that fails throws it with
// its cause, the platform's error code. The text a user reads is chosen from
// the code only where a box shows it.
#pragma once

#include <cstdint>
#include <exception>
#include <string>
#include <string_view>

namespace glance {

// A cause in the HRESULT form, so one number says where it came from: a
// system call's error as 0x8007xxxx (its Win32 code below), an error that the
// program raises itself as 0x800Axxxx (the classic runtime error number).
struct ErrorCode {
    std::uint32_t value = 0;
    friend constexpr bool operator==(ErrorCode, ErrorCode) = default;
};

// The code of a failed system call (GetLastError, LSTATUS).
constexpr ErrorCode systemErrorCode(std::uint32_t error) {
    return ErrorCode{error == 0 ? 0u : 0x80070000u | (error & 0xFFFFu)};
}
// The system's own code for a system call's failure, or 0 for any other cause.
constexpr std::uint32_t systemError(ErrorCode code) {
    return (code.value & 0xFFFF0000u) == 0x80070000u ? code.value & 0xFFFFu : 0;
}

// A classic runtime error: its code and the text that it has always shown.
struct ClassicError {
    ErrorCode code;
    const char* text;
    constexpr operator const char*() const { return text; }
    constexpr operator std::string_view() const { return text; }
    bool operator==(std::string_view other) const { return other == text; }
};

constexpr ErrorCode classicErrorCode(std::uint16_t number) {
    return ErrorCode{0x800A0000u | number};
}

// The classic runtime errors, so that a failure reads the same whatever raised it.
namespace errtext {
inline constexpr ClassicError kInvalidCall{classicErrorCode(5), "Invalid procedure call or argument"};
inline constexpr ClassicError kOverflow{classicErrorCode(6), "Overflow"};
inline constexpr ClassicError kOutOfMemory{classicErrorCode(7), "Out of memory"};
inline constexpr ClassicError kFileNotFound{classicErrorCode(53), "File not found"};
inline constexpr ClassicError kPermissionDenied{classicErrorCode(70), "Permission denied"};
inline constexpr ClassicError kPathNotFound{classicErrorCode(76), "Path not found"};
inline constexpr ClassicError kCannotCreateObject{classicErrorCode(429),
                                                  "ActiveX component can't create object"};
inline constexpr ClassicError kInvalidPicture{classicErrorCode(481), "Invalid picture"};
inline constexpr const char* kFileNotFoundInDll = "File not found: shell32";
}  // namespace errtext

// The text a box shows for a code: a classic error's own text, the classic
// text closest to a system error ("Permission denied" for access denied and
// for a sharing violation...), and "Invalid procedure call or argument" for
// any other code.
const char* errorText(ErrorCode code) noexcept;

class PlatformError : public std::exception {
public:
    PlatformError(ClassicError error) : code_(error.code) {}
    explicit PlatformError(ErrorCode code) : code_(code) {}
    // An error with a text of its own (a file that names the line at fault).
    PlatformError(ErrorCode code, std::string text) : code_(code), text_(std::move(text)) {}
    explicit PlatformError(std::string text) : PlatformError(errtext::kInvalidCall.code, std::move(text)) {}

    ErrorCode code() const noexcept { return code_; }
    const char* what() const noexcept override { return text_.empty() ? errorText(code_) : text_.c_str(); }
    // The text a box shows for this error.
    std::string description() const { return what(); }

private:
    ErrorCode code_;
    std::string text_;
};

// Thrown by MessageLoop::endProcess in the fake platform so that a handler that
// ends the program stops where it is; the real platform never returns from it.
struct ProgramEnded {};

}  // namespace glance
