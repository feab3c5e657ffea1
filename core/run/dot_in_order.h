// The dot product that decides a margin: one running sum in index order,
// ((w0*x0 + w1*x1) + w2*x2) + ..., from 0.0, each product and sum rounded
// on its own. The run's passes and kernels sum theirs to these same bits.
#ifndef PELLUMAR_DOT_IN_ORDER_H
#define PELLUMAR_DOT_IN_ORDER_H

#include <cstdint>

namespace pellumar {

inline double dotInOrder(const double* w, const double* x, int32_t M) {
    double dot = 0.0;
    for (int32_t k = 0; k < M; ++k) dot = dot + w[k] * x[k];
    return dot;
}

}  // namespace pellumar

#endif
