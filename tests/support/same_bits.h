// Bit-for-bit comparison of double vectors, reporting the first difference.
#ifndef PELLUMAR_TESTS_SAME_BITS_H
#define PELLUMAR_TESTS_SAME_BITS_H

#include <gtest/gtest.h>

#include <cstdint>
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
        if (a != b)
            return ::testing::AssertionFailure()
                   << "element " << k << ": got " << got[k] << " (0x" << std::hex << a
                   << "), want " << std::dec << want[k] << " (0x" << std::hex << b << ")";
    }
    return ::testing::AssertionSuccess();
}

#endif
