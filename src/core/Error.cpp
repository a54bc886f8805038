#include "core/Error.h"

namespace glance {

const char* errorText(ErrorCode code) noexcept {
    switch (systemError(code)) {
    case 2:  // ERROR_FILE_NOT_FOUND
        return errtext::kFileNotFound;
    case 3:    // ERROR_PATH_NOT_FOUND
    case 267:  // ERROR_DIRECTORY
        return errtext::kPathNotFound;
    case 5:   // ERROR_ACCESS_DENIED
    case 32:  // ERROR_SHARING_VIOLATION
    case 33:  // ERROR_LOCK_VIOLATION
        return errtext::kPermissionDenied;
    case 8:   // ERROR_NOT_ENOUGH_MEMORY
    case 14:  // ERROR_OUTOFMEMORY
        return errtext::kOutOfMemory;
    case 534:  // ERROR_ARITHMETIC_OVERFLOW
        return errtext::kOverflow;
    default:
        break;
    }
    for (const ClassicError& classic :
         {errtext::kOverflow, errtext::kOutOfMemory, errtext::kFileNotFound, errtext::kPermissionDenied,
          errtext::kPathNotFound, errtext::kCannotCreateObject, errtext::kInvalidPicture})
        if (classic.code == code) return classic.text;
    return errtext::kInvalidCall;
}

}  // namespace glance
