// The sparse run against the dense run on the same order: within the stated
// bound wherever no margin comes close to 1.0, and bit for bit against a
// step-by-step form of its own documented order everywhere (long runs that
// fold the scale back, decays of zero and below zero, empty samples,
// non-finite values).
#include <gtest/gtest.h>

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <cstring>
#include <limits>
#include <random>
#include <vector>

#include "../support/reference_trainer.h"
#include "../support/same_bits.h"
#include "engine/seeded_order.h"
#include "sparse/sparse_run.h"
#include "platform/zeroed_block.h"

namespace {

// A sparse matrix by columns, and the same values dense.
struct Sparse {
    int32_t M = 0, N = 0;
    std::vector<double> values, dense;
    std::vector<uint64_t> rows, starts;
    std::vector<uint32_t> rows32, starts32;
    pellumar::SparseColumns view(bool narrow) const {
        pellumar::SparseColumns s;
        s.values = values.data();
        s.rows = narrow ? static_cast<const void*>(rows32.data()) : rows.data();
        s.starts = narrow ? static_cast<const void*>(starts32.data()) : starts.data();
        s.indexBytes = narrow ? 4 : 8;
        return s;
    }
};

// Text-like samples: each feature present with probability density, a few
// features far more often (as words are), values from 0.2 to 1.2 times
// scale; labels from a sparse rule.
Sparse makeSparse(int32_t M, int32_t N, double density, uint64_t seed, std::vector<double>& y,
                  double scale = 1.0) {
    std::mt19937_64 rng(seed);
    std::uniform_real_distribution<double> uniform(0.0, 1.0);
    std::normal_distribution<double> gauss(0.0, 1.0);
    Sparse s;
    s.M = M;
    s.N = N;
    s.dense.assign(static_cast<size_t>(M) * N, 0.0);
    std::vector<double> rule(M);
    for (double& r : rule) r = gauss(rng);
    y.assign(N, 1.0);
    s.starts.push_back(0);
    for (int32_t f = 0; f < N; ++f) {
        double score = 0.1 * gauss(rng);
        for (int32_t k = 0; k < M; ++k) {
            const double p = k < M / 10 + 1 ? std::min(1.0, 4 * density) : density;
            if (uniform(rng) >= p) continue;
            const double v = (0.2 + uniform(rng)) * scale;
            s.values.push_back(v);
            s.rows.push_back(static_cast<uint64_t>(k));
            s.dense[static_cast<size_t>(f) * M + k] = v;
            score += rule[k] * v;
        }
        s.starts.push_back(s.values.size());
        y[f] = score < 0 ? -1.0 : 1.0;
    }
    s.rows32.assign(s.rows.begin(), s.rows.end());
    s.starts32.assign(s.starts.begin(), s.starts.end());
    return s;
}

// U + B*v as the documented order forms it: where it overflows from finite
// operands, halved and doubled back.
double sumOf(double U, double B, double v) {
    const double sum = U + B * v;
    if (std::isfinite(sum) || !std::isfinite(U) || !std::isfinite(B) || !std::isfinite(v)) return sum;
    return 2.0 * ((0.5 * U) + (0.5 * B) * v);
}

// The documented operations of the sparse run, one after another, on dense
// vectors (the sample's zeros skipped), for the bit-for-bit comparison.
std::vector<double> sparseReference(const Sparse& s, const std::vector<double>& y, double lambda,
                                    double eta0, int32_t T, bool bias,
                                    const std::vector<int32_t>& order) {
    const int32_t M = s.M, n = static_cast<int32_t>(order.size());
    const size_t m = static_cast<size_t>(M) + (bias ? 1 : 0);
    std::vector<double> v(m, 0.0), U(m, 0.0);
    double a = 1.0, B = 0.0;
    for (int32_t t = 1; t <= T; ++t) {
        const int32_t f = order[t % n];
        std::vector<std::pair<size_t, double>> x;
        for (uint64_t j = s.starts[f]; j < s.starts[f + 1]; ++j) x.push_back({s.rows[j], s.values[j]});
        if (bias) x.push_back({static_cast<size_t>(M), 1.0});
        const double tD = t, step = eta0 / std::sqrt(tD), decay = 1.0 - step * lambda;
        double dot = 0.0;
        for (auto& e : x) dot = dot + v[e.first] * e.second;
        double margin = (a * dot) * y[f];
        bool finiteInputs = std::isfinite(a);
        for (auto& e : x) finiteInputs = finiteInputs && std::isfinite(e.second) && std::isfinite(v[e.first]);
        if (!std::isfinite(dot) && finiteInputs) {  // v*x overflowed: the weights' dot product
            double dotW = 0.0;
            for (auto& e : x) dotW = dotW + (a * v[e.first]) * e.second;
            if (std::isfinite(dotW)) margin = dotW * y[f];
        }
        const double aNext = a * decay;
        // Would the update at scale aNext write an infinity or NaN made of
        // finite values?
        bool overflows = false;
        if (aNext != 0.0 && margin < 1.0 && std::isfinite(step) && std::isfinite(aNext) &&
            std::isfinite(B) && std::isfinite(y[f]))
            for (auto& e : x) {
                const double p = -(y[f] * e.second), d = (step / aNext) * p;
                overflows = overflows ||
                            (std::isfinite(p) && std::isfinite(v[e.first]) && std::isfinite(U[e.first]) &&
                             !(std::isfinite(v[e.first] - d) && std::isfinite(U[e.first] + B * d)));
            }
        if (aNext == 0.0) {
            for (size_t k = 0; k < m; ++k) U[k] = sumOf(U[k], B, v[k]), v[k] = 0.0;
            a = 1.0, B = 0.0;
            if (margin < 1.0)
                for (auto& e : x) v[e.first] = step * (y[f] * e.second);
        } else if (overflows) {  // aNext folded in first, the step taken at scale 1
            for (size_t k = 0; k < m; ++k) U[k] = sumOf(U[k], B, v[k]), v[k] = aNext * v[k];
            a = 1.0, B = 0.0;
            for (auto& e : x) {
                const double d = step * (-(y[f] * e.second));
                v[e.first] = v[e.first] - d;
            }
        } else {
            a = aNext;
            if (margin < 1.0)
                for (auto& e : x) {
                    const double q = step / a;
                    const double d = q * (-(y[f] * e.second));
                    v[e.first] = v[e.first] - d;
                    U[e.first] = U[e.first] + B * d;
                }
        }
        B = B + a;
        if (std::fabs(a) < 1.0 / 1024 || std::fabs(a) > 1024.0) {
            for (size_t k = 0; k < m; ++k) U[k] = sumOf(U[k], B, v[k]), v[k] = a * v[k];
            a = 1.0, B = 0.0;
        }
    }
    std::vector<double> out(m, 0.0);
    for (size_t k = 0; k < m && T >= 1; ++k) {
        const double sum = U[k] + B * v[k];
        out[k] = std::isfinite(sum) || !std::isfinite(U[k]) || !std::isfinite(B) || !std::isfinite(v[k])
                     ? sum / T
                     : (((0.5 * U[k]) + (0.5 * B) * v[k]) / T) * 2.0;
        if (std::isnan(out[k])) out[k] = std::numeric_limits<double>::quiet_NaN();
    }
    return out;
}

// The largest lambda with step*lambda below 1 at iteration t: that
// iteration's decay 1 - step*lambda lies just above 0 (below 0 before it).
double decayNearZeroAt(double eta0, int32_t t) {
    const double step = eta0 / std::sqrt(static_cast<double>(t));
    double lambda = 1.0 / step;
    while (!(1.0 - step * lambda > 0.0)) lambda = std::nextafter(lambda, 0.0);
    return lambda;
}

bool allFinite(const std::vector<double>& v) {
    return std::all_of(v.begin(), v.end(), [](double x) { return std::isfinite(x); });
}

// The smallest |margin - 1| of the dense run, to tell whether the two runs
// may decide differently.
double closestMargin(const std::vector<double>& X, const std::vector<double>& y, double lambda,
                     int32_t T, double eta0, int32_t M, const std::vector<int32_t>& order) {
    std::vector<double> w(M, 0.0);
    double closest = INFINITY;
    const int32_t n = static_cast<int32_t>(order.size());
    for (int32_t t = 1; t <= T; ++t) {
        const int32_t f = order[t % n];
        double dot = 0.0;
        for (int32_t k = 0; k < M; ++k) dot = dot + w[k] * X[static_cast<size_t>(f) * M + k];
        const double margin = dot * y[f];
        closest = std::min(closest, std::fabs(margin - 1.0));
        const double step = eta0 / std::sqrt(static_cast<double>(t)), decay = 1.0 - step * lambda;
        for (int32_t k = 0; k < M; ++k)
            w[k] = decay * w[k] - (margin < 1.0 ? step * (-(y[f] * X[static_cast<size_t>(f) * M + k]))
                                                : step * 0.0);
    }
    return closest;
}

struct SparseCase {
    const char* what;
    int32_t M, N;
    double density;
    bool bias;
    double passes, lambda, eta0;
    bool agrees;         // no margin near 1: the dense bound is asserted
    double scale = 1.0;  // of the values (makeSparse())
};

// Relative to the largest weight of the dense result (doc/SPARSE.md). Its
// rows assert it only where no margin of the dense run came within 1e-9 of
// 1.0, a hundred times the bound: beyond that the two runs decide alike.
constexpr double kAgreement = 1e-11;

const std::vector<SparseCase> kCases = {
    // what                             M     N     density bias  passes lambda eta0 agrees
    {"one feature",                      1,   50, 0.5,    false, 5,    1e-3,  0.5,  true},
    {"one feature and the bias",         1,   50, 0.5,    true,  5,    1e-3,  0.5,  true},
    {"half full",                       20,  100, 0.5,    true,  10,   1e-4,  0.5,  true},
    {"ten percent",                    200,  300, 0.1,    true,  5,    1e-4,  1.0,  true},
    {"one percent, many empty",        500,  400, 0.01,   false, 8,    1e-5,  2.0,  true},
    {"a tenth of a percent",          5000,  500, 0.001,  true,  6,    1e-5,  4.0,  true},
    {"scale folded back often",         30,  200, 0.3,    true,  500,  0.05,  1.0,  true},
    {"a million iterations",            30, 1000, 0.3,    true,  1000, 1e-3,  1.0,  true},
    {"decay 0 at t = 1",                10,   60, 0.4,    true,  20,   1.0,   1.0,  true},
    {"decay below 0, then 0 at t = 16", 10,   60, 0.4,    true,  20,   4.0,   1.0,  true},
    {"margins near 1: separable",       40,  100, 0.2,    true,  200,  1e-6,  0.5,  false},
    // Steps near the largest double, and decays just above 0, where the
    // weights' scale a falls to about 2^-63 in one iteration: step / a, its
    // products with the values and the sums pass the largest double before
    // the dense run's values do.
    {"eta0 1e280, values 1e12, decay ~0 at t = 7", 10, 60, 0.4, true, 20, decayNearZeroAt(1e280, 7),
     1e280, true, 1e12},
    {"eta0 1e300, decay ~0 at t = 1",   20,  100, 0.5,    true,  10, decayNearZeroAt(1e300, 1), 1e300, true},
    {"eta0 1e305, decay ~0 at t = 7",   20,  100, 0.5,    true,  10, decayNearZeroAt(1e305, 7), 1e305, true},
    {"eta0 the largest, values 1e-6, decay ~0 at t = 3", 20, 100, 0.5, true, 10,
     decayNearZeroAt(DBL_MAX, 3), DBL_MAX, true, 1e-6},
    // 2.4e-11 of the largest weight away; at eta0 = 1e250, where nothing
    // overflows, 1.3e-11 to 2.4e-11 with any decay at t = 100 from 1e-12 to
    // 1e-4: finiteness asserted, not the bound.
    {"eta0 1e300, decay ~0 at t = 100", 30,  200, 0.3,    true,  50, decayNearZeroAt(1e300, 100), 1e300, false},
};

}  // namespace

TEST(SparseRun, AgreesWithTheDenseRunAndFollowsItsOwnOrder) {
    for (const SparseCase& c : kCases) {
        std::vector<double> y;
        const Sparse s = makeSparse(c.M, c.N, c.density, 7 + c.M, y, c.scale);
        const auto order = pellumar::makeSeededOrder(c.N, 1234);
        const int32_t T = static_cast<int32_t>(c.passes * c.N);
        const int32_t m = c.M + (c.bias ? 1 : 0);
        std::vector<double> Xb;
        for (int32_t f = 0; f < c.N; ++f) {
            Xb.insert(Xb.end(), s.dense.begin() + static_cast<size_t>(f) * c.M,
                      s.dense.begin() + static_cast<size_t>(f + 1) * c.M);
            if (c.bias) Xb.push_back(1.0);
        }
        const std::vector<int32_t> counts = {T / 3, T};
        const auto want = sparseReference(s, y, c.lambda, c.eta0, T, c.bias, order);
        // Every row keeps the dense run finite, at both checkpoints, and the
        // sparse run must stay finite with it.
        const auto dense = reference::train(Xb, y, c.lambda, T, c.eta0, m, c.N, order);
        EXPECT_TRUE(allFinite(dense) &&
                    allFinite(reference::train(Xb, y, c.lambda, T / 3, c.eta0, m, c.N, order)))
            << c.what;
        for (bool narrow : {false, true}) {
            std::vector<double> got(2 * m, -1.0);
            pellumar::trainSparseOnOrder(s.view(narrow), y.data(), c.lambda, c.eta0, c.M, c.N,
                                         order.data(), c.bias, counts.data(), 2, got.data());
            EXPECT_TRUE(SameBits(std::vector<double>(got.begin() + m, got.end()), want)) << c.what;
            EXPECT_TRUE(SameBits(std::vector<double>(got.begin(), got.begin() + m),
                                 sparseReference(s, y, c.lambda, c.eta0, T / 3, c.bias, order)))
                << c.what << " at its checkpoint";
            EXPECT_TRUE(allFinite(got)) << c.what;
        }
        double largest = 0.0, gap = 0.0;
        for (int32_t k = 0; k < m; ++k) {
            largest = std::max(largest, std::fabs(dense[k]));
            gap = std::max(gap, std::fabs(dense[k] - want[k]));
        }
        const double closest = closestMargin(Xb, y, c.lambda, T, c.eta0, m, order);
        if (c.agrees) {
            EXPECT_GT(closest, 1e-9) << c.what << ": a margin came near 1; the row can't assert";
            EXPECT_LE(gap, kAgreement * largest) << c.what << ": relative gap " << gap / largest;
        }
        std::printf("%-50s gap %.2e of the largest weight, closest margin %.1e\n", c.what,
                    largest > 0 ? gap / largest : 0.0, closest);
    }
}

TEST(SparseRun, NonFiniteValuesGiveCanonicalNaNsAndNothingWorse) {
    std::vector<double> y;
    Sparse s = makeSparse(50, 80, 0.2, 3, y);
    s.values[5] = std::numeric_limits<double>::quiet_NaN();
    s.values[17] = INFINITY;
    s.values[40] = -INFINITY;
    y[3] = std::numeric_limits<double>::quiet_NaN();
    const auto order = pellumar::makeSeededOrder(80, 9);
    const int32_t T = 400;
    std::vector<double> got(51, 0.0);
    pellumar::trainSparseOnOrder(s.view(false), y.data(), 1e-4, 0.5, 50, 80, order.data(), true, &T,
                                 1, got.data());
    EXPECT_TRUE(SameBits(got, sparseReference(s, y, 1e-4, 0.5, T, true, order)));
    size_t nans = 0;
    for (double v : got) {
        uint64_t bits;
        std::memcpy(&bits, &v, sizeof bits);
        if (std::isnan(v)) {
            EXPECT_EQ(bits, 0x7FF8000000000000ull);
        }
        nans += std::isnan(v) ? 1 : 0;
    }
    EXPECT_GT(nans, 0u);
}

// Groups of every size the engine forms, from one classifier to more than
// two groups hold: each classifier gets the bits of the documented order with
// its own labels, whatever it ran beside (and on data with non-finite
// values, where some lanes turn NaN).
TEST(SparseRun, EveryClassifierOfAGroupGetsItsOwnBits) {
    struct GroupCase {
        const char* what;
        int32_t M, N;
        double density;
        bool bias, nonFinite;
        double passes, lambda, eta0;
    };
    const GroupCase cases[] = {
        {"one percent, many empty", 500, 400, 0.01, false, false, 3, 1e-5, 2.0},
        {"scale folded back often", 30, 200, 0.3, true, false, 60, 0.05, 1.0},
        {"decay below 0, then 0", 10, 60, 0.4, true, false, 20, 4.0, 1.0},
        {"non-finite values", 50, 80, 0.2, true, true, 5, 1e-4, 0.5},
        // Groups of 14 lanes or more hold 4 MiB or more: their weights come
        // mapped from the system on a huge-page boundary.
        {"weights in huge pages", 20000, 60, 0.002, true, false, 3, 1e-4, 0.5},
        // Every classifier's overflow met on its own, each run again alone.
        {"eta0 1e300, decay ~0 at t = 1", 20, 100, 0.5, true, false, 10, decayNearZeroAt(1e300, 1), 1e300},
    };
    for (const GroupCase& c : cases) {
        std::vector<double> y;
        Sparse s = makeSparse(c.M, c.N, c.density, 11 + c.M, y);
        if (c.nonFinite) {
            s.values[5] = std::numeric_limits<double>::quiet_NaN();
            s.values[40] = -INFINITY;
        }
        const auto order = pellumar::makeSeededOrder(c.N, 99);
        const int32_t T = static_cast<int32_t>(c.passes * c.N);
        const size_t m = static_cast<size_t>(c.M) + (c.bias ? 1 : 0);
        for (int32_t G : {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 35}) {
            // Classifier k's labels: y with every (k+2)-th sample's sign
            // turned, so that the lanes leave 1.0 at different samples.
            // Two checkpoints: each classifier's averages after T/3 and T.
            const std::vector<int32_t> counts = {T / 3, T};
            std::vector<std::vector<double>> labels(G, y), outs(G, std::vector<double>(2 * m));
            std::vector<const double*> labelPointers;
            std::vector<double*> outPointers;
            for (int32_t k = 0; k < G; ++k) {
                for (int32_t f = 0; f < c.N; f += k + 2) labels[k][f] = -labels[k][f];
                labelPointers.push_back(labels[k].data());
                outPointers.push_back(outs[k].data());
            }
            for (bool narrow : {false, true}) {
                for (auto& o : outs) std::fill(o.begin(), o.end(), -1.0);
                pellumar::trainSparseGroupOnOrder(s.view(narrow), labelPointers.data(), G, c.lambda,
                                                  c.eta0, c.M, c.N, order.data(), c.bias,
                                                  counts.data(), 2, outPointers.data());
                for (int32_t k = 0; k < G; ++k)
                    for (int at = 0; at < 2; ++at)
                        EXPECT_TRUE(SameBits(
                            std::vector<double>(outs[k].begin() + at * m, outs[k].begin() + (at + 1) * m),
                            sparseReference(s, labels[k], c.lambda, c.eta0, counts[at], c.bias, order)))
                            << c.what << ": classifier " << k << " of " << G << ", checkpoint " << at;
            }
        }
    }
}

// The weights' block: zero, writable to its last double, on a line, and on a
// 2 MiB boundary from 4 MiB on (where the run asks for huge pages).
TEST(SparseRun, WeightBlocksAreZeroAlignedAndWholeAtEverySize) {
    const size_t lineDoubles = 8, hugeDoubles = (size_t{2} << 20) / 8;
    for (size_t count : {size_t{1}, size_t{7}, size_t{1000}, 2 * hugeDoubles - 1, 2 * hugeDoubles,
                         5 * hugeDoubles + 3}) {
        for (int round = 0; round < 2; ++round) {  // the second from memory just freed
            pellumar::ZeroedBlock block(count);
            double* d = block.data();
            const uintptr_t at = reinterpret_cast<uintptr_t>(d);
            EXPECT_EQ(at % (count >= 2 * hugeDoubles ? hugeDoubles * 8 : lineDoubles * 8), 0u) << count;
            size_t nonZero = 0;
            for (size_t i = 0; i < count; ++i) nonZero += d[i] != 0.0;
            EXPECT_EQ(nonZero, 0u) << count << ", round " << round;
            for (size_t i = 0; i < count; ++i) d[i] = 1.0;
        }
    }
    EXPECT_THROW(pellumar::ZeroedBlock(SIZE_MAX / 4), std::bad_alloc);
}
