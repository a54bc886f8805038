#include "app/HomePageDraw.h"

#include <cmath>
#include <string>

#include "app/Random.h"
#include "core/Product.h"

namespace glance {

void openHomePageByChance(System& system, Shell& shell) {
    Random rnd;
    rnd.seed(system.secondsSinceMidnight());
    const int n = static_cast<int>(std::floor(rnd.next() * 100)) + 1;
    if (n == 7)
        shell.startProcess(std::string("explorer \"") + kHomePageUrl + "\"", 2 /* minimized, active */);
}

}  // namespace glance
