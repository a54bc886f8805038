// The exe's own throw helpers of the GNU library (src/StdLibHooks.cpp), linked
// into this program as into the exe: what a handler of the program can rely on.
#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <new>
#include <stdexcept>
#include <string>
#include <vector>

// A library error is a std::exception with the library's own text, and no
// longer its standard type: a handler that catches std::out_of_range (or any
// std::logic_error) would not see it in the exe. Allocation failures keep theirs.
TEST(StdLibHooks, ALibraryErrorIsAStdExceptionWithTheLibrarysTextButNotItsStandardType) {
    const struct {
        std::function<void()> fault;
        const char* text;
    } cases[] = {
        {[] { std::vector<int>().at(3); },
         "vector::_M_range_check: __n (which is 3) >= this->size() (which is 0)"},
        {[] { (void)std::string("ab").substr(5); },
         "basic_string::substr: __pos (which is 5) > this->size() (which is 2)"},
        {[] { (void)std::stoul("x"); }, "stoul"},
    };
    for (const auto& c : cases) {
        try {
            c.fault();
            ADD_FAILURE() << c.text << ": nothing thrown";
        } catch (const std::logic_error&) {
            ADD_FAILURE() << c.text << ": the library's own type; the hooks are not linked";
        } catch (const std::exception& e) {
            EXPECT_STREQ(e.what(), c.text);
        }
    }
    EXPECT_THROW((void)std::allocator<int>().allocate(SIZE_MAX / 2), std::bad_alloc);
}
