// The single-pass trainer against the plain reference, bit for bit, on every
// vector path this processor has, including margins that fall within a few
// units in the last place of 1.0, extreme magnitudes and non-finite values.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <random>
#include <vector>

#include "../support/nan_cases.h"
#include "../support/reference_trainer.h"
#include "../support/same_bits.h"
#include "run/fused_pass.h"
#include "run/hinge.h"
#include "run/margin_decision.h"
#include "run/train_on_order.h"

using pellumar::MarginSide;
using pellumar::VectorPath;

namespace {

std::vector<VectorPath> availablePaths() {
    std::vector<VectorPath> paths;
    for (VectorPath p : pellumar::vectorPathsBuilt())
        if (pellumar::vectorPathAvailable(p)) paths.push_back(p);
    return paths;
}

struct Problem {
    int32_t M, N;
    std::vector<double> X, y;
    std::vector<int32_t> order;
};

Problem randomProblem(std::mt19937_64& rng, int32_t M, int32_t N, double scale) {
    std::normal_distribution<double> gauss(0.0, 1.0);
    Problem p{M, N, std::vector<double>(static_cast<size_t>(M) * N), std::vector<double>(N), {}};
    for (double& v : p.X) v = scale * gauss(rng);
    for (double& v : p.y) v = gauss(rng) < 0 ? -1.0 : 1.0;
    for (int32_t i = 0; i < N; ++i) p.order.push_back(i);
    std::shuffle(p.order.begin(), p.order.end(), rng);
    return p;
}

// Every available path against the reference on one problem.
void expectAllPathsMatch(const Problem& p, double lambda, int32_t T, double eta0,
                         const char* what) {
    const auto want = reference::train(p.X, p.y, lambda, T, eta0, p.M, p.N, p.order);
    for (VectorPath path : availablePaths()) {
        std::vector<double> got(p.M);
        pellumar::trainOnOrderWith(path, p.X.data(), p.y.data(), lambda, T, eta0, p.M, p.N,
                                   p.order.data(), got.data());
        EXPECT_TRUE(SameBits(got, want)) << what << " on " << pellumar::vectorPathName(path)
                                         << " M=" << p.M << " N=" << p.N << " T=" << T;
    }
}

}  // namespace

// A vector path that silently fell back to the portable pass would pass every
// bit-for-bit test below while testing nothing new: the build must hold the
// paths its compiler and target allow, and the chooser must pick one that runs.
TEST(VectorPaths, BuildHoldsThePathsItsTargetAllowsAndChoosesOneThatRuns) {
    const pellumar::VectorPaths list = pellumar::vectorPathsBuilt();
    const std::vector<VectorPath> built(list.begin(), list.end());
    std::vector<VectorPath> expected = {VectorPath::Portable};
#if defined(__GNUC__) && !defined(PELLUMAR_PORTABLE_ONLY) && defined(__x86_64__)
    expected.insert(expected.end(), {VectorPath::Sse2, VectorPath::Avx2, VectorPath::Avx512});
    EXPECT_TRUE(pellumar::vectorPathAvailable(VectorPath::Sse2));
#elif defined(__GNUC__) && !defined(PELLUMAR_PORTABLE_ONLY) && defined(__aarch64__)
    expected.push_back(VectorPath::Neon);
    EXPECT_TRUE(pellumar::vectorPathAvailable(VectorPath::Neon));
#endif
    EXPECT_EQ(built, expected);
    const VectorPath chosen = pellumar::bestVectorPath();
    EXPECT_TRUE(pellumar::vectorPathAvailable(chosen)) << pellumar::vectorPathName(chosen);
    EXPECT_NE(std::find(built.begin(), built.end(), chosen), built.end());
    if (expected.size() > 1) {
        EXPECT_NE(chosen, VectorPath::Portable);
    }
}

TEST(FastPath, MatchesReferenceOnRandomProblemsAtManyWidths) {
    std::mt19937_64 rng(11);
    std::vector<int32_t> widths;
    // Every width the register kernels take (each number of vectors of each
    // width, each tail), the limits and their neighbours, then the pass.
    for (int32_t M = 1; M <= 66; ++M) widths.push_back(M);
    for (int32_t M : {100, 257, 1001}) widths.push_back(M);
    for (int32_t M : widths) {
        const Problem p = randomProblem(rng, M, 9, 1.0);
        expectAllPathsMatch(p, 1e-3, 40, 0.5, "random");
        expectAllPathsMatch(p, 0.0, 25, 2.0, "lambda = 0");
        expectAllPathsMatch(p, 50.0, 25, 0.5, "negative decay");
    }
}

TEST(FastPath, MatchesReferenceOnExtremeMagnitudes) {
    std::mt19937_64 rng(12);
    for (double scale : {1e-160, 1e-300, 4.9e-324, 1e150, 1e300}) {
        for (int32_t M : {3, 16, 37, 64}) {
            Problem p = randomProblem(rng, M, 5, scale);
            expectAllPathsMatch(p, 1e-2, 30, 1.0, "scaled");
            // Mixed: every other feature huge.
            for (size_t i = 0; i < p.X.size(); i += 2) p.X[i] *= 1e280;
            expectAllPathsMatch(p, 1e-2, 30, 1.0, "mixed magnitudes");
        }
    }
}

TEST(FastPath, MatchesReferenceWhenOneSummationOrderOverflows) {
    // After iteration 1 on sample 0, w = eta0*x0; the margin on sample 1 then
    // sums w_k*x1_k = [H, H, -H, -H, ...]: in index order H + H overflows to
    // Inf, while other orders may stay finite.
    const double H = 1e308;
    for (int32_t M : {4, 8, 16, 20, 36, 64}) {
        Problem p{M, 2, std::vector<double>(2 * M, 0.0), {1.0, 1.0}, {1, 0}};
        for (int32_t k = 0; k < M; ++k) {
            p.X[k] = 1.0;                                  // sample 0
            p.X[M + k] = (k / 2) % 2 == 0 ? H : -H;        // sample 1
        }
        p.order = {1, 0};  // t = 1 visits order[1] = sample 0
        expectAllPathsMatch(p, 0.0, 4, 1.0, "overflow in one order");
    }
}

TEST(FastPath, MatchesReferenceWithNonFiniteValuesAndOddLabels) {
    std::mt19937_64 rng(13);
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    for (int32_t M : {5, 16, 29, 45}) {
        Problem p = randomProblem(rng, M, 6, 1.0);
        p.y[0] = 0.0;
        p.y[1] = -0.0;
        p.y[2] = 3.5;
        expectAllPathsMatch(p, 1e-3, 30, 0.5, "labels 0, -0, 3.5");
        p.X[M + 2] = nan;
        expectAllPathsMatch(p, 1e-3, 30, 0.5, "NaN feature");
        p.X[M + 2] = inf;
        expectAllPathsMatch(p, 1e-3, 30, 0.5, "Inf feature");
        // A column of infinities labelled -1 after a first update: its margin
        // is -Inf. Where a register kernel's last vector repeats features of
        // the one before, the mask makes them 0 there; 0 times Inf would make
        // the margin NaN.
        Problem q{M, 2, std::vector<double>(2 * M, 1.0), {1.0, -1.0}, {1, 0}};
        std::fill(q.X.begin() + M, q.X.end(), inf);
        expectAllPathsMatch(q, 1e-3, 4, 0.5, "a column of infinities");
        p.y[3] = inf;
        expectAllPathsMatch(p, 1e-3, 30, 0.5, "Inf label");
        expectAllPathsMatch(p, nan, 10, 0.5, "NaN lambda");
        expectAllPathsMatch(p, 1e-3, 10, -0.5, "negative eta0");
    }
}

// NaN results: which operand's payload survives, and the sign of a NaN made
// by Inf*0, differ between paths, compilers and processors; the result holds
// one canonical NaN wherever it holds a NaN.
TEST(FastPath, NaNResultsAreTheSameBitsOnEveryPath) {
    for (const nan_cases::Case& c : nan_cases::cases()) {
        std::vector<double> want;
        for (uint64_t bits : c.want) want.push_back(nan_cases::fromBits(bits));
        EXPECT_TRUE(SameBits(reference::train(c.X, c.y, c.lambda, c.T, c.eta0, c.M, c.N, c.order),
                             want))
            << c.name << ": reference";
        expectAllPathsMatch(Problem{c.M, c.N, c.X, c.y, c.order}, c.lambda, c.T, c.eta0,
                            c.name.c_str());
    }
}

TEST(FastPath, MatchesReferenceWhenMarginsSitOnOne) {
    // One sample, label 1, lambda 0: w1 = eta0*x, and the margin of
    // iteration 2 is the in-order sum of eta0*x_k*x_k. Sweeping eta0 across
    // 1/|x|^2 puts that margin a few units in the last place below, at, and
    // above 1.0; every path must take the same side as the in-order sum.
    std::mt19937_64 rng(14);
    std::uniform_real_distribution<double> uniform(0.5, 2.0);
    int below = 0, exactlyOne = 0, above = 0;
    for (int32_t M : {1, 3, 7, 8, 15, 16, 17, 31, 32, 33, 40, 64, 65, 100}) {
        for (int trial = 0; trial < 4; ++trial) {
            Problem p{M, 1, std::vector<double>(M), {1.0}, {0}};
            for (double& v : p.X) v = trial == 0 ? 1.0 : uniform(rng);
            double squares = 0.0;
            for (double v : p.X) squares += v * v;
            double eta0 = 1.0 / squares;
            for (int ulps = 0; ulps < 12; ++ulps) eta0 = std::nextafter(eta0, 0.0);
            for (int step = 0; step < 24; ++step, eta0 = std::nextafter(eta0, 1.0)) {
                std::vector<double> w1(M);
                for (int32_t k = 0; k < M; ++k) w1[k] = 0.0 - eta0 * (-(1.0 * p.X[k]));
                const double margin = pellumar::dotInOrder(w1.data(), p.X.data(), M) * 1.0;
                below += margin < 1.0;
                exactlyOne += margin == 1.0;
                above += margin > 1.0;
                expectAllPathsMatch(p, 0.0, 3, eta0, "margin near 1");
            }
        }
    }
    EXPECT_GT(below, 0);
    EXPECT_GT(exactlyOne, 0);
    EXPECT_GT(above, 0);
}

TEST(MarginDecision, NeverContradictsTheInOrderSum) {
    // For random dot products with labels chosen to put the margin within a
    // few ulps of 1.0 (and far from it), a conclusive answer computed from a
    // differently ordered sum must match fl(in-order sum * y) < 1.0.
    std::mt19937_64 rng(15);
    std::normal_distribution<double> gauss(0.0, 1.0);
    int conclusiveFar = 0, farCases = 0;
    for (int trial = 0; trial < 3000; ++trial) {
        const int n = 1 + static_cast<int>(rng() % 300);
        const double scale = std::ldexp(1.0, static_cast<int>(rng() % 200) - 100);
        std::vector<double> w(n), x(n);
        for (int k = 0; k < n; ++k) {
            w[k] = gauss(rng) * scale;
            x[k] = gauss(rng);
        }
        const double exact = pellumar::dotInOrder(w.data(), x.data(), n);
        // Another order: backwards, in three interleaved chains.
        double chains[3] = {0.0, 0.0, 0.0}, absSum = 0.0;
        for (int k = n - 1; k >= 0; --k) {
            chains[k % 3] += w[k] * x[k];
            absSum += std::fabs(w[k] * x[k]);
        }
        const double fast = (chains[0] + chains[1]) + chains[2];
        if (exact == 0.0) continue;
        const double y0 = 1.0 / exact;
        double y = y0;
        for (int i = 0; i < 6; ++i) y = std::nextafter(y, 0.0);
        for (int i = 0; i < 13; ++i, y = std::nextafter(y, 2.0 * y0)) {
            const MarginSide side = pellumar::marginSide(fast, absSum, n, y);
            if (side == MarginSide::Unsure) continue;
            ASSERT_EQ(side == MarginSide::Below, exact * y < 1.0)
                << "n=" << n << " exact=" << exact << " fast=" << fast << " y=" << y;
        }
        for (double factor : {0.5, -1.0, 2.0, 1.001, 0.999}) {
            const double yFar = factor * y0;
            const MarginSide side = pellumar::marginSide(fast, absSum, n, yFar);
            ++farCases;
            if (side == MarginSide::Unsure) continue;
            ++conclusiveFar;
            ASSERT_EQ(side == MarginSide::Below, exact * yFar < 1.0);
        }
    }
    // The fast decision must actually decide when the margin is not close.
    EXPECT_GT(conclusiveFar, farCases * 9 / 10);
}

TEST(MarginDecision, SendsNonFiniteAndHugeSumsToTheInOrderSum) {
    const double inf = std::numeric_limits<double>::infinity();
    const double nan = std::numeric_limits<double>::quiet_NaN();
    EXPECT_EQ(pellumar::marginSide(0.5, inf, 4, 1.0), MarginSide::Unsure);
    EXPECT_EQ(pellumar::marginSide(nan, 1.0, 4, 1.0), MarginSide::Unsure);
    EXPECT_EQ(pellumar::marginSide(0.5, 1.0, 4, nan), MarginSide::Unsure);
    EXPECT_EQ(pellumar::marginSide(0.5, 1.0, 4, inf), MarginSide::Unsure);
    EXPECT_EQ(pellumar::marginSide(1.0, 0x1p1001, 4, 1.0), MarginSide::Unsure);
    EXPECT_EQ(pellumar::marginSide(1.0, 1.0, 4, 1.0), MarginSide::Unsure);
    EXPECT_EQ(pellumar::marginSide(0.25, 1.0, 4, 1.0), MarginSide::Below);
    EXPECT_EQ(pellumar::marginSide(3.0, 3.0, 4, 1.0), MarginSide::NotBelow);
    EXPECT_EQ(pellumar::marginSide(123.0, 200.0, 4, 0.0), MarginSide::Below);  // y = 0
}

// The run hands its state from one stretch of iterations to the next, on
// whatever path each stretch takes: order positions, the pending dot product
// estimate and the weights must all carry over. Stretches of random length
// (single iterations included) on random paths, across several passes over
// the order, must give the reference's bits.
TEST(RunIterations, StretchesOnChangingPathsCarryTheRunOn) {
    std::mt19937_64 rng(33);
    const std::vector<VectorPath> paths = availablePaths();
    for (int32_t M : {1, 6, 30, 37, 64, 100}) {
        const Problem p = randomProblem(rng, M, 11, 1.0);
        const int32_t T = 300;
        std::vector<double> w(M, 0.0), wbar(M, 0.0);
        pellumar::RunState run(p.X.data(), p.y.data(), 1e-2, 0.5, T, M, p.N, p.order.data(),
                               w.data(), wbar.data());
        for (int32_t t = 1; t <= T;) {
            const int32_t last = std::min<int32_t>(T, t + static_cast<int32_t>(rng() % 20));
            pellumar::runIterations(paths[rng() % paths.size()], run, t, last);
            t = last + 1;
        }
        EXPECT_TRUE(SameBits(wbar, reference::train(p.X, p.y, 1e-2, T, 0.5, M, p.N, p.order)))
            << "M=" << M;
    }
}

// Iterations just below 2^31, where the step numbers computed ahead for a
// block of iterations come from the largest counts: every path, register
// kernels and the general pass, from weights already trained, against the
// plain steps.
TEST(RunIterations, DeepIterationsMatchThePlainSteps) {
    std::mt19937_64 rng(34);
    const int32_t last = INT32_MAX, first = INT32_MAX - 150;
    for (int32_t M : {3, 13, 40, 100}) {
        const Problem p = randomProblem(rng, M, 7, 1.0);
        std::vector<double> w0(M), wbar0(M);
        for (int32_t k = 0; k < M; ++k) {
            w0[k] = 0.01 * (k % 5) - 0.02;
            wbar0[k] = 0.005 * (k % 3);
        }
        std::vector<double> wantW = w0, wantWbar = wbar0;
        reference::iterate(p.X, p.y, 1e-3, first, last, 0.5, M, p.N, p.order, wantW, wantWbar);
        for (VectorPath path : availablePaths()) {
            std::vector<double> w = w0, wbar = wbar0;
            pellumar::RunState run(p.X.data(), p.y.data(), 1e-3, 0.5, last, M, p.N, p.order.data(),
                                   w.data(), wbar.data());
            run.now = first % p.N;
            run.next = (first + 1) % p.N;
            run.later = static_cast<int32_t>((int64_t{first} + run.ahead) % p.N);
            pellumar::runIterations(path, run, first, last);
            EXPECT_TRUE(SameBits(w, wantW) && SameBits(wbar, wantWbar))
                << pellumar::vectorPathName(path) << " M=" << M;
        }
    }
}

// The trial switches paths between iterations of one run: two warm-up blocks
// on the widest, A B B A over four timed blocks, then the faster for good.
// The weights must not notice.
TEST(PathTrial, TriesTheTwoWidestPathsThenKeepsOneWithTheSameBits) {
    std::mt19937_64 rng(21);
    // Columns longer than any path holds in registers, which run without a trial.
    const Problem p = randomProblem(rng, 100, 11, 1.0);
    const int32_t T = 200;
    pellumar::PathTrial probe(T, p.M, 100 * 3);  // blocks of 3 iterations
    std::vector<VectorPath> seen;
    for (int32_t t = 1; t <= T; ++t) seen.push_back(probe.pathFor(t));
    const VectorPath a = probe.candidate(0), b = probe.candidate(1), kept = probe.settled();
    EXPECT_TRUE(pellumar::vectorPathAvailable(a) && pellumar::vectorPathAvailable(b));
    EXPECT_EQ(a, pellumar::bestVectorPath());
    EXPECT_TRUE(kept == a || kept == b);
    // Two untimed blocks on the widest, then A B B A.
    std::vector<VectorPath> trial(9, a);
    trial.insert(trial.end(), 6, b);
    trial.insert(trial.end(), 3, a);
    EXPECT_EQ(std::vector<VectorPath>(seen.begin(), seen.begin() + 18), trial);
    EXPECT_EQ(std::count(seen.begin() + 18, seen.end(), kept), T - 18);

    // The run asks once per stretch of iterations on one path: the stretches
    // are the trial's blocks, then the rest of the run (all of it, when the
    // build or the processor has one vector path and there is no trial).
    pellumar::PathTrial stretches(T, p.M, 100 * 3);
    std::vector<int32_t> ends;
    std::vector<VectorPath> paths;
    for (int32_t t = 1; t <= T;) {
        paths.push_back(stretches.pathFor(t));
        const int32_t last = stretches.samePathThrough(t, T);
        ASSERT_GE(last, t);
        ends.push_back(last);
        t = last + 1;
    }
    if (a != b) {
        EXPECT_EQ(ends, std::vector<int32_t>({3, 6, 9, 12, 15, 18, T}));
        EXPECT_EQ(paths, std::vector<VectorPath>({a, a, a, b, b, a, stretches.settled()}));
    } else {
        EXPECT_EQ(ends, std::vector<int32_t>({T}));
    }

    pellumar::PathTrial used(T, p.M, 100 * 3);
    std::vector<double> got(p.M);
    pellumar::trainOnOrderWith(used, p.X.data(), p.y.data(), 1e-3, T, 0.5, p.M, p.N,
                               p.order.data(), got.data());
    EXPECT_TRUE(SameBits(got, reference::train(p.X, p.y, 1e-3, T, 0.5, p.M, p.N, p.order)));

    // A short run has no trial.
    pellumar::PathTrial shortRun(15, p.M, 100);
    EXPECT_EQ(shortRun.pathFor(1), pellumar::bestVectorPath());
    EXPECT_EQ(shortRun.settled(), pellumar::bestVectorPath());
    // Nor does a long one whose columns fit the widest path's registers.
    const int64_t fits = pellumar::registerFeatures(pellumar::bestVectorPath());
    pellumar::PathTrial registers(1 << 30, fits, fits * 3);
    EXPECT_EQ(registers.pathFor(1), pellumar::bestVectorPath());
    EXPECT_EQ(registers.samePathThrough(1, 1 << 30), 1 << 30);
}
