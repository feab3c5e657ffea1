#include "platform/exact_arithmetic.h"  // before everything else (see there)

#include "module/training.h"

#include <stdexcept>
#include <string>
#include <vector>

#include "platform/ieee_modes.h"
#include "run/train_on_order.h"
#include "module/visit_order.h"

namespace pellumar {

namespace {
// Refuses runs that can't be made: negative counts, or iterations asked for
// with no samples to visit (t mod N would divide by zero).
void checkTrainingShape(int32_t T, int32_t M, int32_t N) {
    if (M < 0 || N < 0)
        throw std::invalid_argument("runTraining: negative dimensions (M = " + std::to_string(M) +
                                    ", N = " + std::to_string(N) + ")");
    if (N == 0 && T >= 1)
        throw std::invalid_argument("runTraining: no samples to visit (N = 0) but T = " +
                                    std::to_string(T) + " iterations were asked for");
}
}  // namespace

void runTraining(const double* X, const double* y, double lambda, int32_t T, double eta0,
                 int32_t M, int32_t N, double* out) {
    // The caller's floating-point modes are set aside for the whole run and
    // given back on every way out, allocation failure included.
    const IeeeDefaultModes ieeeModes;
    checkTrainingShape(T, M, N);
    seedFromClock();
    const std::vector<int32_t> order = makeVisitOrder(N);
    trainOnOrder(X, y, lambda, T, eta0, M, N, order.data(), out);
}

}  // namespace pellumar
