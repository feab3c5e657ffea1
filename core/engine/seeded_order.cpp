#include "platform/exact_arithmetic.h"  // before everything else (see there)

#include "engine/seeded_order.h"

#include <cstddef>
#include <utility>

namespace pellumar {

uint64_t drawBelowSeeded(SplitMix64& generator, uint64_t i) {
    // 2^64 mod i, in 64-bit arithmetic: (2^64 - i) mod i.
    const uint64_t rejectBelow = (0 - i) % i;
    uint64_t r = generator.next();
    while (r < rejectBelow) r = generator.next();
    return r % i;
}

std::vector<int32_t> makeSeededOrder(int32_t N, uint64_t seed) {
    std::vector<int32_t> order(N > 0 ? static_cast<size_t>(N) : 0);
    for (size_t p = 0; p < order.size(); ++p) order[p] = static_cast<int32_t>(p);
    SplitMix64 generator(seed);
    for (size_t p = 1; p < order.size(); ++p)
        std::swap(order[p], order[drawBelowSeeded(generator, p + 1)]);
    return order;
}

}  // namespace pellumar
