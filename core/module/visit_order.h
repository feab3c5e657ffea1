// The random order in which a training run visits its samples.
#ifndef PELLUMAR_VISIT_ORDER_H
#define PELLUMAR_VISIT_ORDER_H

#include <cstdint>
#include <vector>

namespace pellumar {

// srand() with the calendar time in whole seconds, cut to 32 bits.
void seedFromClock();

// A value in [0, i) for i >= 2, built from as many 15-bit rand() draws as
// cover i (one up to 32767, two up to 0x3FFFFFFF, three above) and reduced
// modulo i without rejection.
uint32_t drawBelow(uint32_t i);

// 0 .. N-1 shuffled by one forward pass: for p = 1 .. N-1, swap entries p and
// drawBelow(p + 1). Empty for N <= 0; no draw at all for N < 2.
std::vector<int32_t> makeVisitOrder(int32_t N);

}  // namespace pellumar

#endif
