// The home-page draw: about one start in a hundred, minimized.
#include <gtest/gtest.h>

#include <string>

#include "FakePlatform.h"
#include "app/HomePageDraw.h"
#include "core/Product.h"

namespace glance {
namespace {

TEST(HomePage, OpensOnAboutOneStartInAHundredMinimized) {
    fake::FakePlatform fp;
    int opened = 0;
    for (int i = 0; i < 5000; ++i) {
        fp.system.timeOfDay = 30000 + i * 0.37;
        openHomePageByChance(fp.system, fp.shell);
    }
    opened = static_cast<int>(fp.shell.processes.size());
    EXPECT_GT(opened, 20);
    EXPECT_LT(opened, 90);
    ASSERT_FALSE(fp.shell.processes.empty());
    EXPECT_EQ(fp.shell.processes[0].commandLine, std::string("explorer \"") + kHomePageUrl + "\"");
    EXPECT_EQ(fp.shell.processes[0].showState, 2);
}

}  // namespace
}  // namespace glance
