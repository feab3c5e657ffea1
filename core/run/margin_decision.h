// Deciding "margin < 1.0" from a fast, reordered dot product.
#ifndef PELLUMAR_MARGIN_DECISION_H
#define PELLUMAR_MARGIN_DECISION_H

#include <cmath>
#include <cstdint>

#include "platform/exact_arithmetic.h"

namespace pellumar {

enum class MarginSide { Below, NotBelow, Unsure };

// Given a dot product w.x of n terms summed in any order (fastDot) and the
// sum of the magnitudes of its terms (absSum), says on which side of 1.0 the
// margin fl(dot*y) lies when dot is the in-order running sum, whenever the
// rounding error bound makes that certain; Unsure otherwise (the caller then
// computes the in-order sum). Inline: it runs once per iteration, inside
// each vector path's loop.
//
// Why the side is certain when this says so.
//
// Let P = sum |w_k x_k| (exact), u = 2^-53. Any order of summing the n
// rounded products, the in-order running sum D_seq included, lies within
// gamma_n*P of the exact dot product, gamma_n = n*u/(1 - n*u), plus at most
// n*2^-1075 from products that underflow (sums of subnormals are exact). So
//     |D_seq - D_fast| <= 2*gamma_n*P + 2n*2^-1075.
// absSum is P up to the same relative error, so, with n < 2^31,
//     B = absSum*(n + 1)*2^-51 + 2^-1000
// overestimates that gap by about a factor two; the slack also covers the
// rounding of B itself.
//
// No partial sum of any order can overflow while absSum < 2^1000, so both
// sums are finite and the bound applies; larger, infinite or NaN values go
// to the in-order sum.
//
// The margin is fl(D_seq*y). With mf = fl(D_fast*y), the exact D_seq*y is
// within R of mf, where R >= B|y|(1 + 2u) + u|mf| + 2^-1075; R below is
// computed with generous slack so that rounding in it can't undercut that.
// Rounding is monotone, so:
//   - if 1 - mf > 2R + 2^-48 (computed), then D_seq*y < 1 - 2^-49, which
//     rounds below 1.0 (only values from 1 - 2^-54 up round to 1.0): Below;
//   - if mf - 1 > 2R + 2^-48 (computed), then D_seq*y > 1, so fl >= 1.0:
//     NotBelow.
// Anything closer to 1.0 than that is Unsure.
//
// All of this assumes round to nearest and gradual underflow: a directed mode
// doubles u, and flush-to-zero breaks the 2^-1075 terms. The run guarantees
// both: runTraining() and the trainOnOrder() family switch to the IEEE
// default modes for the whole run (IeeeDefaultModes, ieee_modes.h).
inline MarginSide marginSide(double fastDot, double absSum, int64_t n, double y) {
    // Named constants, so that every power of two is folded at compile time.
    constexpr double twoTo1000 = powerOfTwo(1000), twoToMinus1000 = powerOfTwo(-1000);
    constexpr double twoToMinus48 = powerOfTwo(-48), twoToMinus50 = powerOfTwo(-50);
    constexpr double twoToMinus51 = powerOfTwo(-51), twoToMinus52 = powerOfTwo(-52);
    if (!(absSum < twoTo1000) || !std::isfinite(y)) return MarginSide::Unsure;
    const double B = absSum * (static_cast<double>(n + 1) * twoToMinus51) + twoToMinus1000;
    const double mf = fastDot * y;
    const double R = B * std::fabs(y) * (1.0 + twoToMinus50) + std::fabs(mf) * twoToMinus52 +
                     twoToMinus1000;
    if (!std::isfinite(mf) || !std::isfinite(R)) return MarginSide::Unsure;
    const double clearance = 2.0 * R + twoToMinus48;
    if (1.0 - mf > clearance) return MarginSide::Below;
    if (mf - 1.0 > clearance) return MarginSide::NotBelow;
    return MarginSide::Unsure;
}

}  // namespace pellumar

#endif
