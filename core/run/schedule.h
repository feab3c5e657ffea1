// The step size and the weights' decay of iteration t, as every run computes
// them, dense or sparse, scalar or in registers:
//   step = eta0 / sqrt(t),  decay = 1 - step*lambda
// each operation rounded on its own. t is below 2^31, exact in a double.
// (The vector paths take the same square root, correctly rounded, in lanes.)
#ifndef PELLUMAR_SCHEDULE_H
#define PELLUMAR_SCHEDULE_H

#include <cmath>

namespace pellumar {

struct Schedule {
    double step, decay;
};

inline Schedule scheduleAt(double eta0, double lambda, double tD) {
    const double step = eta0 / std::sqrt(tD);
    return Schedule{step, 1.0 - step * lambda};
}

}  // namespace pellumar

#endif
