// How the toolbox's engine lays out the trainings of one call, and their
// names in its error messages. The caller passes K classes (positives) and R
// runs, the columns of a 4 x R matrix [fold; lambda; eta0; seed]; training
// k + K*r trains class positives[k] in run r.
#ifndef PELLUMAR_TRAINING_NAMES_H
#define PELLUMAR_TRAINING_NAMES_H

#include <cstddef>
#include <cstdio>

namespace pellumar {

enum RunRow { RUN_FOLD = 0, RUN_LAMBDA, RUN_ETA0, RUN_SEED, RUN_ROWS };

// Names trainings first .. first + count - 1 (K >= 1; those that fail
// together are classes of one run) into text, as the caller passed them:
// their classes, the run's fold and setting, and the run's column, counted
// from 1. Allocates nothing: it runs while a failure is reported, with
// memory perhaps short.
inline void nameTrainings(size_t first, size_t count, size_t K, const double* positives,
                          const double* runs, char* text, size_t size) {
    const size_t r = first / K, k = first % K;
    const double* run = runs + r * RUN_ROWS;
    char classes[96], fold[48];
    if (count <= 1)
        std::snprintf(classes, sizeof classes, "training of class %.15g", positives[k]);
    else
        std::snprintf(classes, sizeof classes, "trainings of classes %.15g to %.15g together",
                      positives[k], positives[k + count - 1]);
    if (run[RUN_FOLD] == 0.0)
        std::snprintf(fold, sizeof fold, "on all samples");
    else
        std::snprintf(fold, sizeof fold, "without fold %.0f", run[RUN_FOLD]);
    std::snprintf(text, size, "%s %s, lambda %.15g, eta0 %.15g, seed %.0f (run %lu)", classes,
                  fold, run[RUN_LAMBDA], run[RUN_ETA0], run[RUN_SEED],
                  static_cast<unsigned long>(r + 1));
}

}  // namespace pellumar

#endif
