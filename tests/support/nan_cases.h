// Runs whose result holds NaNs, with the bits every build and vector path
// must give: each NaN element is the one quiet NaN 0x7FF8000000000000,
// whatever sign or payload the arithmetic on the way left in it.
#ifndef PELLUMAR_TESTS_NAN_CASES_H
#define PELLUMAR_TESTS_NAN_CASES_H

#include <cstdint>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

namespace nan_cases {

constexpr uint64_t kCanonical = 0x7FF8000000000000ull, kMinusInf = 0xFFF0000000000000ull;

inline double fromBits(uint64_t bits) {
    double v;
    std::memcpy(&v, &bits, sizeof v);
    return v;
}

struct Case {
    std::string name;
    int32_t M, N;
    std::vector<double> X, y;
    double lambda;
    int32_t T;
    double eta0;
    std::vector<int32_t> order;
    std::vector<uint64_t> want;  // on this order
};

inline std::vector<Case> cases() {
    const double inf = std::numeric_limits<double>::infinity();
    const double lambda222 = fromBits(0x7FF8000000000222ull), eta111 = fromBits(0x7FF8000000000111ull);
    // Two samples, the second with label +Inf: after the first iteration the
    // margin of the second is -Inf, and where its feature is 0, Inf*0 makes a
    // NaN whose sign the compiler's rewriting of the update may flip.
    const auto infLabel = [&](int32_t M, int32_t T) {
        Case c{"Inf*0 in the subgradient, M = " + std::to_string(M) + ", T = " + std::to_string(T),
               M, 2, std::vector<double>(2 * M), {1.0, inf}, 0.0, T, 1.0, {1, 0}, {}};
        for (int32_t k = 0; k < M; ++k) {
            c.X[k] = k % 2 ? 0.0 : 1.0;
            c.X[M + k] = k % 2 ? 0.0 : -1.0;
            c.want.push_back(k % 2 ? kCanonical : kMinusInf);
        }
        return c;
    };
    return {
        // NaN payloads meeting: lambda's and eta0's in every feature, and a
        // feature's own in the first margin.
        {"NaN lambda and eta0 with payloads, NaN feature", 3, 1, {1.0, fromBits(0x7FF8000000000333ull), 3.0},
         {1.0}, lambda222, 2, eta111, {0}, std::vector<uint64_t>(3, kCanonical)},
        {"negative NaN lambda with a payload", 11, 1, std::vector<double>(11, 0.5), {-1.0},
         fromBits(0xFFF800000000BEEFull), 3, 0.5, {0}, std::vector<uint64_t>(11, kCanonical)},
        {"Inf eta0 and lambda 0 (Inf*0 in the decay)", 5, 1, {1.0, -2.0, 0.0, 4.0, 5.0}, {1.0}, 0.0, 1,
         inf, {0}, std::vector<uint64_t>(5, kCanonical)},
        infLabel(2, 2),
        infLabel(19, 5),
        infLabel(45, 5),
    };
}

}  // namespace nan_cases

#endif
