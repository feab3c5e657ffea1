// Bit-for-bit comparison of double vectors, reporting the first difference.
#ifndef PELLUMAR_TESTS_SAME_BITS_H
#define PELLUMAR_TESTS_SAME_BITS_H

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <vector>

inline ::testing::AssertionResult SameBits(const std::vector<double>& got,
                                           const std::vector<double>& want) {
    if (got.size() != want.size())
        return ::testing::AssertionFailure()
               << "sizes differ: " << got.size() << " vs " << want.size();
    for (size_t k = 0; k < got.size(); ++k) {
        uint64_t a, b;
        std::memcpy(&a, &got[k], 8);
        std::memcpy(&b, &want[k], 8);
        if (a != b) {
            // Each << of an AssertionResult formats on a stream of its own,
            // so std::hex would not last: the bits are formatted here.
            char bits[64];
            std::snprintf(bits, sizeof bits, "(%016llx), want %g (%016llx)",
                          static_cast<unsigned long long>(a), want[k], static_cast<unsigned long long>(b));
            return ::testing::AssertionFailure() << "element " << k << ": got " << got[k] << " " << bits;
        }
    }
    return ::testing::AssertionSuccess();
}

#endif
