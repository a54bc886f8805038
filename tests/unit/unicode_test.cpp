// The one UTF-8/UTF-16 conversion: well-formed text passes both ways
// unchanged; a malformed sequence or a lone surrogate becomes U+FFFD.
#include "core/Unicode.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace glance {
namespace {

TEST(Unicode, ConvertsBothWaysAndReplacesWhatIsNotText) {
    struct Case {
        std::string utf8;
        std::u16string utf16;
        std::string back;  // utf16 as UTF-8 again
    };
    const std::vector<Case> cases = {
        {"On", u"On", "On"},
        {"\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80", u"\u00E9\u20AC\U0001F600",
         "\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80"},
        {"a\xFF"
         "b",
         u"a\uFFFDb",
         "a\xEF\xBF\xBD"
         "b"},
        {"\xC0\xAF", u"\uFFFD\uFFFD", "\xEF\xBF\xBD\xEF\xBF\xBD"},                        // an overlong "/"
        {"\xED\xA0\x80", u"\uFFFD\uFFFD\uFFFD", "\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD"},  // a surrogate
        {"\xE2\x82!", u"\uFFFD!", "\xEF\xBF\xBD!"},                                       // cut short
    };
    for (const Case& c : cases) {
        EXPECT_EQ(utf8ToUtf16(c.utf8), c.utf16) << testing::PrintToString(c.utf8);
        EXPECT_EQ(utf16ToUtf8(c.utf16), c.back) << testing::PrintToString(c.utf8);
        EXPECT_TRUE(isWellFormedUtf16(c.utf16));
    }
    for (const std::u16string& lone :
         {std::u16string(1, u'\xD800'), std::u16string(u"x") + char16_t(0xDC00)}) {
        EXPECT_FALSE(isWellFormedUtf16(lone));
        EXPECT_EQ(utf16ToUtf8(lone).substr(utf16ToUtf8(lone).size() - 3), "\xEF\xBF\xBD");
    }
}

}  // namespace
}  // namespace glance
