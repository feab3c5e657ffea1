// Deciding "margin < 1.0" from a fast, reordered dot product.
#ifndef PELLUMAR_MARGIN_DECISION_H
#define PELLUMAR_MARGIN_DECISION_H

#include <cstdint>

namespace pellumar {

enum class MarginSide { Below, NotBelow, Unsure };

// Given a dot product w.x of n terms summed in any order (fastDot) and the
// sum of the magnitudes of its terms (absSum), says on which side of 1.0 the
// margin fl(dot*y) lies when dot is the in-order running sum, whenever the
// rounding error bound makes that certain; Unsure otherwise (the caller then
// computes the in-order sum).
MarginSide marginSide(double fastDot, double absSum, int64_t n, double y);

}  // namespace pellumar

#endif
