// The trainings of one call of the toolbox's engine, laid out from the
// caller's numbers: K classes (positives) and R runs, the columns of a 4 x R
// matrix [fold; lambda; eta0; seed] (training_names.h), each run with C
// checkpoints. Training k + K*r trains class positives[k] against the rest
// (+1 for the class, -1 for every other) in run r, on the samples whose fold
// is not the run's (fold 0: all of them), and writes its C averages, one
// m-row column each, from out + m*C*(k + K*r).
#ifndef PELLUMAR_CALL_PLAN_H
#define PELLUMAR_CALL_PLAN_H

#include <cstddef>
#include <cstdint>
#include <vector>

#include "engine/batch.h"

namespace pellumar {

class CallPlan {
public:
    // classOf: N class numbers; foldOf: N fold numbers, or null when no run
    // leaves out a fold; iterations: C x R whole counts below 2^31. The
    // caller has checked every number. Throws std::bad_alloc.
    CallPlan(const double* classOf, const double* foldOf, size_t N, const double* positives,
             size_t K, const double* runs, size_t R, const double* iterations, size_t C,
             double* out, size_t m);
    const Training* trainings() const { return trainings_.data(); }
    size_t size() const { return trainings_.size(); }

private:
    std::vector<double> labels_;                // K x N: each class's labels
    std::vector<std::vector<int32_t>> samples_;  // each run's samples, when it leaves out a fold
    std::vector<int32_t> counts_;               // C x R checkpoints
    std::vector<Training> trainings_;
};

}  // namespace pellumar

#endif
