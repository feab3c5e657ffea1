#include "platform/exact_arithmetic.h"  // before everything else (see there)

#include "engine/call_plan.h"

#include "engine/training_names.h"

namespace pellumar {

CallPlan::CallPlan(const double* classOf, const double* foldOf, size_t N, const double* positives,
                   size_t K, const double* runs, size_t R, const double* iterations, size_t C,
                   double* out, size_t m)
    : labels_(K * N), samples_(R), counts_(K > 0 ? C * R : 0) {
    for (size_t k = 0; k < K; ++k)
        for (size_t f = 0; f < N; ++f) labels_[k * N + f] = classOf[f] == positives[k] ? 1.0 : -1.0;
    for (size_t i = 0; i < counts_.size(); ++i) counts_[i] = static_cast<int32_t>(iterations[i]);
    trainings_.reserve(K * R);
    for (size_t r = 0; r < R; ++r) {
        const double* run = runs + r * RUN_ROWS;
        const bool leavesOut = run[RUN_FOLD] != 0.0;
        if (leavesOut)
            for (size_t f = 0; f < N; ++f)
                if (foldOf[f] != run[RUN_FOLD]) samples_[r].push_back(static_cast<int32_t>(f));
        for (size_t k = 0; k < K; ++k) {
            Training t;
            t.labels = labels_.data() + k * N;
            if (leavesOut) {
                t.samples = samples_[r].data();
                t.sampleCount = static_cast<int32_t>(samples_[r].size());
            }
            t.seed = static_cast<uint64_t>(run[RUN_SEED]);
            t.lambda = run[RUN_LAMBDA];
            t.eta0 = run[RUN_ETA0];
            t.checkpoints = counts_.data() + r * C;
            t.checkpointCount = static_cast<int32_t>(C);
            t.out = out + m * C * (k + K * r);
            trainings_.push_back(t);
        }
    }
}

}  // namespace pellumar
