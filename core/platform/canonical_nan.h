// Results written with every NaN as the one quiet NaN 0x7FF8000000000000.
//
// The sign and payload of a NaN that arithmetic makes are the processor's
// choice (x86's default NaN is negative, ARM's positive), and compilers may
// reorder operands, so NaNs differ between paths, builds and processors while
// no value does. Every run writes its results through writeCanonical(). The
// tests are on the bits: no floating-point operation, nothing raised
// whatever the caller's traps.
#ifndef PELLUMAR_CANONICAL_NAN_H
#define PELLUMAR_CANONICAL_NAN_H

#include <cstdint>
#include <cstring>

namespace pellumar {

constexpr uint64_t kMagnitudeBits = 0x7FFFFFFFFFFFFFFFull, kInfinityBits = 0x7FF0000000000000ull;
constexpr uint64_t kCanonicalNaNBits = 0x7FF8000000000000ull;

// Whether value is neither infinite nor NaN.
inline bool isFinite(double value) {
    uint64_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    return (bits & kMagnitudeBits) < kInfinityBits;
}

// value into *out, a NaN as the one quiet NaN; true when value is infinite
// or NaN.
inline bool writeCanonical(double value, double* out) {
    uint64_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    const uint64_t magnitude = bits & kMagnitudeBits;
    if (magnitude > kInfinityBits) bits = kCanonicalNaNBits;
    std::memcpy(out, &bits, sizeof bits);
    return magnitude >= kInfinityBits;
}

}  // namespace pellumar

#endif
