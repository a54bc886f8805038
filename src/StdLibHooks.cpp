// The exe's own versions of two parts of the static GNU C++ runtime, which
// would otherwise link in half of its size: a demangler and a second string.
#include <cstddef>  // defines __GLIBCXX__ when the library is GNU's
#if defined(__GLIBCXX__)

#include <cxxabi.h>
#include <windows.h>

#include <algorithm>
#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <new>
#include <typeinfo>

namespace {

// Appends text (at most length characters of it) to a bounded, nul-terminated
// buffer. Formatting is done by hand: the C library's printf family would
// link a formatter of its own.
void append(char* buffer, std::size_t size, const char* text, std::size_t length = SIZE_MAX) {
    std::strncat(buffer, text, std::min(length, size - std::strlen(buffer) - 1));
}

// What the library's range and argument checks throw. Its standard types
// (std::length_error...) keep their text in a copy-on-write string that would
// link a second string implementation; this one keeps it in a fixed buffer.
// Every handler catches std::exception and shows what(), which reads the same.
class LibraryError : public std::exception {
public:
    explicit LibraryError(const char* text) { append(text_, sizeof text_, text); }
    const char* what() const noexcept override { return text_; }

private:
    char text_[256] = "";
};

}  // namespace

namespace std {

// The checks that throw a standard error without a text throw it as it is.
#define GLANCE_THROWS(helper, error) \
    void helper() {                  \
        throw error();               \
    }
GLANCE_THROWS(__throw_bad_exception, std::bad_exception)
GLANCE_THROWS(__throw_bad_alloc, std::bad_alloc)
GLANCE_THROWS(__throw_bad_array_new_length, std::bad_array_new_length)
GLANCE_THROWS(__throw_bad_cast, std::bad_cast)
GLANCE_THROWS(__throw_bad_typeid, std::bad_typeid)
#undef GLANCE_THROWS

// Every check that throws a standard error with a text throws it as a LibraryError.
#define GLANCE_THROWS_LIBRARY_ERROR(helper) \
    void helper(const char* text) {         \
        throw LibraryError(text);           \
    }
GLANCE_THROWS_LIBRARY_ERROR(__throw_logic_error)
GLANCE_THROWS_LIBRARY_ERROR(__throw_domain_error)
GLANCE_THROWS_LIBRARY_ERROR(__throw_invalid_argument)
GLANCE_THROWS_LIBRARY_ERROR(__throw_length_error)
GLANCE_THROWS_LIBRARY_ERROR(__throw_out_of_range)
GLANCE_THROWS_LIBRARY_ERROR(__throw_runtime_error)
GLANCE_THROWS_LIBRARY_ERROR(__throw_range_error)
GLANCE_THROWS_LIBRARY_ERROR(__throw_overflow_error)
GLANCE_THROWS_LIBRARY_ERROR(__throw_underflow_error)
#undef GLANCE_THROWS_LIBRARY_ERROR

// The library formats only %s, %zu and %% in these texts.
void __throw_out_of_range_fmt(const char* format, ...) {
    char text[256] = "";
    va_list args;
    va_start(args, format);
    for (const char* p = format; *p;) {
        const char* mark = std::strchr(p, '%');
        append(text, sizeof text, p, mark ? static_cast<std::size_t>(mark - p) : SIZE_MAX);
        if (!mark) break;
        if (mark[1] == 's') {
            append(text, sizeof text, va_arg(args, const char*));
            p = mark + 2;
        } else if (mark[1] == 'z' && mark[2] == 'u') {
            char digits[24] = "";
            char* first = digits + sizeof digits - 1;
            std::size_t value = va_arg(args, std::size_t);
            do {
                *--first = static_cast<char>('0' + value % 10);
                value /= 10;
            } while (value);
            append(text, sizeof text, first);
            p = mark + 3;
        } else {
            append(text, sizeof text, "%");
            p = mark + (mark[1] == '%' ? 2 : 1);
        }
    }
    va_end(args);
    throw LibraryError(text);
}

}  // namespace std

namespace __gnu_cxx {

// The same report as the library's verbose handler, with the type's
// (mangled) name instead of a demangled one, written to the standard error
// and to the debugger, since a windowed program's standard error goes nowhere.
void __verbose_terminate_handler() {
    static bool terminating = false;
    char text[768] = "terminate called recursively\n";
    if (!terminating) {
        terminating = true;
        const std::type_info* type = abi::__cxa_current_exception_type();
        if (!type) {
            std::strcpy(text, "terminate called without an active exception\n");
        } else {
            const char* name = type->name();
            std::strcpy(text, "terminate called after throwing an instance of '");
            append(text, sizeof text, name + (*name == '*'));
            append(text, sizeof text, "'\n");
            try {
                throw;
            } catch (const std::exception& e) {
                append(text, sizeof text, "  what():  ");
                append(text, sizeof text, e.what());
                append(text, sizeof text, "\n");
            } catch (...) {
            }
        }
    }
    std::fputs(text, stderr);
    OutputDebugStringA(text);
    std::abort();
}

}  // namespace __gnu_cxx

#endif
