// Per-sample subgradient of the hinge loss max(0, 1 - y*(w.x)), in its
// direct form: the run's pass computes the same numbers inline, and the
// tests hold the two to the same bits.
#ifndef PELLUMAR_HINGE_H
#define PELLUMAR_HINGE_H

#include <cstdint>
#include <vector>

#include "run/dot_in_order.h"

namespace pellumar {

// Returns g = -(y*x) when the margin (w.x)*y is below 1.0, else all +0.0.
// The dot product is one running sum in index order; a NaN margin counts as
// not below 1.0.
std::vector<double> hingeSubgradient(const double* w, const double* x, double y, int32_t M);

}  // namespace pellumar

#endif
