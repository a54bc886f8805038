#include "core/Error.h"

namespace glance {

const char* errorText(ErrorCode code) noexcept {
    using namespace errtext;
    for (const ClassicError& classic : {kOverflow, kOutOfMemory, kFileNotFound, kPermissionDenied,
                                        kPathNotFound, kCannotCreateObject, kInvalidPicture})
        if (classic.code == code) return classic.text;
    // The system errors that a classic text names closely enough.
    constexpr struct {
        std::uint32_t error;
        const char* text;
    } kClosest[] = {
        {2, kFileNotFound},       // ERROR_FILE_NOT_FOUND
        {3, kPathNotFound},       // ERROR_PATH_NOT_FOUND
        {267, kPathNotFound},     // ERROR_DIRECTORY
        {5, kPermissionDenied},   // ERROR_ACCESS_DENIED
        {32, kPermissionDenied},  // ERROR_SHARING_VIOLATION
        {33, kPermissionDenied},  // ERROR_LOCK_VIOLATION
        {8, kOutOfMemory},        // ERROR_NOT_ENOUGH_MEMORY
        {14, kOutOfMemory},       // ERROR_OUTOFMEMORY
        {534, kOverflow},         // ERROR_ARITHMETIC_OVERFLOW
    };
    for (const auto& closest : kClosest)
        if (closest.error == systemError(code)) return closest.text;
    return kInvalidCall;
}

}  // namespace glance
