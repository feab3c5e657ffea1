#include "platform/exact_arithmetic.h"  // before everything else (see there)

#include "run/hinge.h"

#include <cstddef>

namespace pellumar {

std::vector<double> hingeSubgradient(const double* w, const double* x, double y, int32_t M) {
    std::vector<double> g(M > 0 ? static_cast<size_t>(M) : 0, 0.0);
    const double margin = dotInOrder(w, x, M) * y;
    if (margin < 1.0) {  // false for NaN: g stays zero
        for (int32_t k = 0; k < M; ++k) g[k] = -(y * x[k]);
    }
    return g;
}

}  // namespace pellumar
