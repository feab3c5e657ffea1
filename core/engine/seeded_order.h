// Visiting orders that repeat from a seed, on every host, build and processor.
#ifndef PELLUMAR_SEEDED_ORDER_H
#define PELLUMAR_SEEDED_ORDER_H

#include <cstdint>
#include <vector>

namespace pellumar {

// Seeds are whole numbers from 0 to 2^53 - 1: every one of them is exact in
// a double, the hosts' number type.
constexpr uint64_t kSeedLimit = uint64_t{1} << 53;

// SplitMix64 (Steele, Lea and Flood, "Fast splittable pseudorandom number
// generators", OOPSLA 2014): a 64-bit state stepped by a fixed odd constant,
// each value a mix of the new state. Nothing but 64-bit unsigned
// arithmetic, so every compiler gives the same stream; doc/ORDERS.md writes
// it out for other languages.
class SplitMix64 {
public:
    explicit SplitMix64(uint64_t seed) : state_(seed) {}
    uint64_t next() {
        state_ += 0x9E3779B97F4A7C15ull;
        uint64_t z = state_;
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }

private:
    uint64_t state_;
};

// A value in [0, i), i >= 1, every value equally likely: 64-bit values below
// 2^64 mod i are drawn again, so that the values kept are a whole number of
// runs of i, and the remainder of the first value kept is returned.
uint64_t drawBelowSeeded(SplitMix64& generator, uint64_t i);

// 0 .. N-1 shuffled by the module's forward pass (for p = 1 .. N-1, swap
// entries p and drawBelowSeeded(p + 1)), with a SplitMix64 seeded with seed.
// Empty for N <= 0; no draw for N < 2.
std::vector<int32_t> makeSeededOrder(int32_t N, uint64_t seed);

}  // namespace pellumar

#endif
