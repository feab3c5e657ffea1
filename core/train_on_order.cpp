#include "train_on_order.h"

#include <cmath>
#include <cstddef>
#include <vector>

#include "hinge.h"

namespace pellumar {

void trainOnOrder(const double* X, const double* y, double lambda, int32_t T, double eta0,
                  int32_t M, int32_t N, const int32_t* order, double* out) {
    const size_t m = M > 0 ? static_cast<size_t>(M) : 0;
    std::vector<double> w(m, 0.0);     // current weights w_t
    std::vector<double> wbar(m, 0.0);  // mean of w_1 .. w_t

    // t counts up to T inclusive; the exit test sits at the bottom so that
    // T = INT32_MAX ends without the counter overflowing.
    for (int32_t t = 1; t <= T; ++t) {
        const int32_t f = order[t % N];
        const double tD = static_cast<double>(t);
        const double step = eta0 / std::sqrt(tD);
        // Column offsets in 64 bits: (N-1)*M may exceed the 32-bit range.
        const double* x = X + static_cast<ptrdiff_t>(f) * static_cast<ptrdiff_t>(M);
        const double yf = y[f];

        const std::vector<double> g = hingeSubgradient(w.data(), x, yf, M);
        const double decay = 1.0 - step * lambda;
        for (size_t k = 0; k < m; ++k) w[k] = decay * w[k] - step * g[k];
        const double previous = static_cast<double>(t - 1);
        for (size_t k = 0; k < m; ++k) wbar[k] = (previous * wbar[k] + w[k]) / tD;

        if (t == T) break;
    }
    for (size_t k = 0; k < m; ++k) out[k] = wbar[k];
}

}  // namespace pellumar
