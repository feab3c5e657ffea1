#include "platform/exact_arithmetic.h"  // before everything else (see there)

#include "module/visit_order.h"

#include <cstdlib>
#include <ctime>
#include <utility>

namespace pellumar {

namespace {
// Only the low 15 bits of rand() are used: that is all that every C library
// guarantees (RAND_MAX >= 32767), so orders match across platforms that share
// a generator.
uint32_t draw15() { return static_cast<uint32_t>(std::rand()) & 0x7FFFu; }
}  // namespace

void seedFromClock() {
    std::srand(static_cast<unsigned>(static_cast<uint32_t>(std::time(nullptr))));
}

uint32_t drawBelow(uint32_t i) {
    uint32_t r = draw15();
    uint32_t range = 0x7FFFu;
    while (range < i && range != 0xFFFFFFFFu) {
        range = (range << 15) | 0x7FFFu;
        r = (r << 15) | draw15();
    }
    return r % i;
}

std::vector<int32_t> makeVisitOrder(int32_t N) {
    std::vector<int32_t> order(N > 0 ? static_cast<size_t>(N) : 0);
    for (size_t p = 0; p < order.size(); ++p) order[p] = static_cast<int32_t>(p);
    const uint32_t n = static_cast<uint32_t>(order.size());
    for (uint32_t p = 1; p < n; ++p) std::swap(order[p], order[drawBelow(p + 1)]);
    return order;
}

}  // namespace pellumar
