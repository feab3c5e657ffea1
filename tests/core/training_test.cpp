// The training run against hand-checked values and the plain reference trainer.
#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <ctime>
#include <limits>
#include <random>
#include <stdexcept>
#include <vector>

#include "../support/reference_trainer.h"
#include "../support/same_bits.h"
#include "run/hinge.h"
#include "run/train_on_order.h"
#include "module/training.h"

using pellumar::runTraining;
using pellumar::trainOnOrder;

namespace {

std::vector<double> run(const std::vector<double>& X, const std::vector<double>& y, double lambda,
                        int32_t T, double eta0, int32_t M, int32_t N) {
    std::vector<double> out(M, -7.0);
    runTraining(X.data(), y.data(), lambda, T, eta0, M, N, out.data());
    return out;
}

std::vector<double> runOnOrder(const std::vector<double>& X, const std::vector<double>& y,
                               double lambda, int32_t T, double eta0, int32_t M, int32_t N,
                               const std::vector<int32_t>& order) {
    std::vector<double> out(M, -7.0);
    trainOnOrder(X.data(), y.data(), lambda, T, eta0, M, N, order.data(), out.data());
    return out;
}

// Runs runTraining() and the reference on the order the clock seed gives,
// retrying when the second changed during the run (the seed is then unknown).
void expectMatchesReferenceFromClock(const std::vector<double>& X, const std::vector<double>& y,
                                     double lambda, int32_t T, double eta0, int32_t M, int32_t N) {
    for (int attempt = 0; attempt < 20; ++attempt) {
        const time_t before = std::time(nullptr);
        const std::vector<double> got = run(X, y, lambda, T, eta0, M, N);
        const time_t after = std::time(nullptr);
        if (before != after) continue;
        const auto order =
            reference::shuffledOrder(static_cast<unsigned>(static_cast<uint32_t>(before)), N);
        EXPECT_TRUE(SameBits(got, reference::train(X, y, lambda, T, eta0, M, N, order)))
            << "M=" << M << " N=" << N << " T=" << T;
        return;
    }
    FAIL() << "the clock second changed during every attempt";
}

}  // namespace

TEST(WorkedExample, OneSampleTwoFeaturesHoldsToTheLastBit) {
    const std::vector<double> X = {1.0, 2.0}, y = {1.0};
    EXPECT_TRUE(SameBits(run(X, y, 0.5, 1, 0.1, 2, 1), {0.1, 0.2}));
    EXPECT_TRUE(SameBits(run(X, y, 0.5, 2, 0.1, 2, 1), {0.13358757210636102, 0.26717514421272204}));
    EXPECT_TRUE(SameBits(run(X, y, 0.5, 3, 0.1, 2, 1), {0.16241979487291838, 0.32483958974583677}));
}

TEST(WorkedExample, MarginsAndSecondIterateAreTheDocumentedOnes) {
    // After T = 1, w1 = (0.1, 0.2): margin 0.5 at t = 2.
    const double w1[] = {0.1, 0.2}, x[] = {1.0, 2.0};
    EXPECT_EQ(pellumar::dotInOrder(w1, x, 2), 0.5);
    const double w2[] = {0.167175144212722, 0.334350288425444};
    EXPECT_EQ(pellumar::dotInOrder(w2, x, 2), 0.8358757210636101);
}

TEST(TrainingRun, NoIterationsGiveZerosButStillShuffle) {
    const std::vector<double> X = {1, 2, 3, 4, 5, 6}, y = {1, -1, 1};
    for (int32_t T : {0, -1, INT32_MIN}) EXPECT_TRUE(SameBits(run(X, y, 0.1, T, 1.0, 2, 3), {0, 0}));

    // The generator is seeded and drawn from even when T < 1: after the run,
    // rand() continues right after the two draws of a 3-entry shuffle.
    const time_t before = std::time(nullptr);
    run(X, y, 0.1, 0, 1.0, 2, 3);
    const int next = std::rand();
    if (std::time(nullptr) == before) {
        std::srand(static_cast<unsigned>(static_cast<uint32_t>(before)));
        std::rand();
        std::rand();
        EXPECT_EQ(next, std::rand());
    }
}

TEST(TrainingRun, OneIterationIsEta0TimesLabelTimesSample) {
    std::vector<double> X(5 * 4);
    for (size_t i = 0; i < X.size(); ++i) X[i] = 0.25 * static_cast<double>(i) - 1.0;
    const std::vector<double> y = {1, -1, 1, -1};
    const std::vector<int32_t> order = {2, 0, 3, 1};  // t = 1 visits order[1] = sample 0
    const auto out = runOnOrder(X, y, 3.0, 1, 0.5, 5, 4, order);
    for (int k = 0; k < 5; ++k) EXPECT_EQ(out[k], 0.5 * (y[0] * X[k])) << k;
}

TEST(TrainingRun, EmptyAndRefusedShapes) {
    const std::vector<double> y = {1.0, -1.0};
    // M = 0: nothing to write, the iterations still run over the order.
    EXPECT_TRUE(SameBits(run({}, y, 0.1, 5, 1.0, 0, 2), {}));
    // N = 0 with no iterations: zeros, no failure.
    EXPECT_TRUE(SameBits(run({}, {}, 0.1, 0, 1.0, 3, 0), {0, 0, 0}));
    // N = 0 with iterations: refused before anything is written.
    std::vector<double> out = {9.0, 9.0};
    EXPECT_THROW(runTraining(nullptr, nullptr, 0.1, 1, 1.0, 2, 0, out.data()),
                 std::invalid_argument);
    EXPECT_TRUE(SameBits(out, {9.0, 9.0}));
    EXPECT_THROW(runTraining(nullptr, nullptr, 0.1, 0, 1.0, -1, 2, out.data()),
                 std::invalid_argument);
}

TEST(TrainingRun, TwoPassesVisitTheSameOrderFromPositionOne) {
    // With lambda = 0 and samples of disjoint support, each sample's features
    // change only at its own visits, so the first visit shows up in wbar as
    // the number of iterates since then. Compare against the reference.
    const int32_t M = 4, N = 4;
    std::vector<double> X(M * N, 0.0);
    for (int f = 0; f < N; ++f) X[f * M + f] = 0.25;
    const std::vector<double> y = {1, 1, -1, -1};
    const std::vector<int32_t> order = {3, 1, 0, 2};
    const auto got = runOnOrder(X, y, 0.0, 2 * N, 1.0, M, N, order);
    EXPECT_TRUE(SameBits(got, reference::train(X, y, 0.0, 2 * N, 1.0, M, N, order)));
    // Sample order[0] = 3 is visited last in each pass (t = 4, 8), sample
    // order[1] = 1 first (t = 1, 5): its feature has the larger average.
    EXPECT_GT(std::fabs(got[1]), std::fabs(got[3]));
}

TEST(TrainingRun, MatchesReferenceBitForBitOnRandomProblems) {
    std::mt19937_64 rng(20261208);
    std::normal_distribution<double> gauss(0.0, 1.0);
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    for (int32_t M : {1, 2, 3, 7, 16, 33}) {
        for (int32_t N : {1, 2, 5, 17}) {
            std::vector<double> X(static_cast<size_t>(M) * N), y(N);
            for (double& v : X) v = gauss(rng);
            for (double& v : y) v = gauss(rng) < 0 ? -1.0 : 1.0;
            for (int32_t T : {N - 1, N, 2 * N + 3}) {
                expectMatchesReferenceFromClock(X, y, 0.01, T, 0.5, M, N);
                expectMatchesReferenceFromClock(X, y, 0.0, T, 0.5, M, N);    // decay exactly 1
                expectMatchesReferenceFromClock(X, y, 30.0, T, 0.9, M, N);   // negative decay
            }
            // Labels other than +-1, and non-finite values in the data.
            std::vector<double> y2 = y, X2 = X;
            y2[0] = 0.0;
            if (N > 1) y2[1] = 2.5;
            X2[X2.size() / 2] = (M + N) % 2 ? nan : inf;
            expectMatchesReferenceFromClock(X2, y2, 0.01, 2 * N + 3, 0.5, M, N);
        }
    }
}

TEST(TrainingRun, LargestIterationCountEnds) {
    // M = 0 keeps each of the 2^31 - 1 iterations cheap; the run must stop
    // after iteration T rather than wrap the counter.
    const std::vector<double> y = {1.0};
    EXPECT_TRUE(SameBits(run({}, y, 0.1, INT32_MAX, 1.0, 0, 1), {}));
}
