// The one error type of the program: an operation that fails throws it
// with the description text that the error message shows to the user.
#pragma once

#include <exception>
#include <string>
#include <utility>

namespace glance {

// Holds its text in a std::string rather than deriving from std::runtime_error,
// whose copy-on-write string would link a second string implementation.
class PlatformError : public std::exception {
public:
    explicit PlatformError(std::string description) : description_(std::move(description)) {}
    const char* what() const noexcept override { return description_.c_str(); }
    std::string description() const { return description_; }

private:
    std::string description_;
};

// The classic runtime texts, so that a failure reads the same whatever raised it.
namespace errtext {
inline constexpr const char* kInvalidCall = "Invalid procedure call or argument";
inline constexpr const char* kOverflow = "Overflow";
inline constexpr const char* kFileNotFound = "File not found";
inline constexpr const char* kPathNotFound = "Path not found";
inline constexpr const char* kPermissionDenied = "Permission denied";
inline constexpr const char* kInvalidPicture = "Invalid picture";
inline constexpr const char* kCannotCreateObject = "ActiveX component can't create object";
inline constexpr const char* kOutOfMemory = "Out of memory";
inline constexpr const char* kFileNotFoundInDll = "File not found: shell32";
}  // namespace errtext

// Thrown by MessageLoop::endProcess in the fake platform so that a handler that
// ends the program stops where it is; the real platform never returns from it.
struct ProgramEnded {};

}  // namespace glance
