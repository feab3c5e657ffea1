// The toolbox's engine: each training against the plain reference on the
// order its seed gives (a bias row that is never stored, subsets of the
// columns, float data, checkpoints), on every vector path; batches whose
// bits do not depend on the number of threads; failures inside threads.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <new>
#include <mutex>
#include <random>
#include <set>
#include <stdexcept>
#include <thread>
#include <vector>

#if defined(__linux__)
#include <sched.h>
#endif

#include "../support/reference_trainer.h"
#include "../support/same_bits.h"
#include "engine/batch.h"
#include "engine/call_plan.h"
#include "run/fused_pass.h"
#include "engine/seeded_order.h"
#include "run/train_on_order.h"
#include "engine/training_names.h"

namespace {

struct EngineCase {
    const char* what;
    int32_t M, N;
    bool bias, floats;
    int32_t leaveOut;  // every leaveOut-th column is not trained on (0: all)
    std::vector<double> passes;  // checkpoints, in passes over the trained samples
    double lambda, eta0, scale;
};

// Data with labels that a linear rule mostly explains, so that long runs put
// many margins close to 1.0, where the certified decision must give way.
struct Data {
    std::vector<double> X, y;
    std::vector<float> Xf;
};
Data makeData(const EngineCase& c, uint64_t seed) {
    std::mt19937_64 rng(seed);
    std::normal_distribution<double> gauss(0.0, 1.0);
    Data d;
    d.X.resize(static_cast<size_t>(c.M) * c.N);
    d.y.resize(c.N);
    std::vector<double> rule(c.M);
    for (double& v : rule) v = gauss(rng);
    for (int32_t f = 0; f < c.N; ++f) {
        double score = 0.3 * gauss(rng) + 0.5;
        for (int32_t k = 0; k < c.M; ++k) {
            double v = c.scale * gauss(rng);
            if (c.floats) v = static_cast<double>(static_cast<float>(v));
            d.X[static_cast<size_t>(f) * c.M + k] = v;
            score += rule[k] * v;
        }
        d.y[f] = score < 0 ? -1.0 : 1.0;
    }
    d.Xf.assign(d.X.begin(), d.X.end());
    return d;
}

std::vector<pellumar::VectorPath> availablePaths() {
    std::vector<pellumar::VectorPath> paths;
    for (pellumar::VectorPath p : pellumar::vectorPathsBuilt())
        if (pellumar::vectorPathAvailable(p)) paths.push_back(p);
    return paths;
}

const std::vector<EngineCase> kCases = {
    // what                        M    N  bias  float out  passes         lambda  eta0 scale
    {"one feature and the bias",   1,  40, true,  false, 0, {0.5, 3},       1e-3,  0.5, 1.0},
    {"in-order kernels, bias",     5,  60, true,  false, 3, {2, 10},        1e-4,  0.5, 1.0},
    {"eight become nine",          8,  50, true,  false, 0, {10},           1e-5,  1.0, 1.0},
    {"certified kernels, bias",   33,  80, true,  false, 4, {1, 5, 5, 20},  1e-4,  0.5, 0.5},
    {"64 stored and the bias",    64,  70, true,  false, 0, {8},            1e-6,  0.5, 0.3},
    {"general loop, bias",       100,  90, true,  false, 5, {3, 12},        1e-4,  0.5, 0.3},
    {"general loop, no bias",    257,  40, false, false, 2, {6},            1e-3,  0.5, 0.2},
    {"floats, few features",       6,  50, false, true,  0, {4, 9},         1e-4,  0.5, 1.0},
    {"floats and the bias",       40, 300, true,  true,  3, {2, 7},         1e-4,  0.5, 0.5},
    {"floats, long columns",     300, 120, true,  true,  0, {5},            1e-5,  0.5, 0.1},
    {"decay below zero",          12,  30, true,  false, 0, {4},            3.0,   1.0, 1.0},
    {"zero iterations",           10,  20, true,  false, 2, {0, 0.01, 2},   1e-4,  0.5, 1.0},
};

}  // namespace

TEST(EngineRun, MatchesTheReferenceOnTheMatrixWithARowOfOnesOnEveryPath) {
    for (const EngineCase& c : kCases) {
        const Data d = makeData(c, 20261209 + c.M);
        std::vector<int32_t> samples;
        for (int32_t f = 0; f < c.N; ++f)
            if (c.leaveOut == 0 || f % c.leaveOut != 0) samples.push_back(f);
        const int32_t n = static_cast<int32_t>(samples.size());
        pellumar::DataMatrix data;
        if (c.floats)
            data.floats = d.Xf.data();
        else
            data.doubles = d.X.data();
        data.M = c.M;
        data.N = c.N;
        data.bias = c.bias;
        pellumar::Training t;
        t.labels = d.y.data();
        if (c.leaveOut) {
            t.samples = samples.data();
            t.sampleCount = n;
        }
        t.seed = 977 * static_cast<uint64_t>(c.M) + 13;
        std::vector<int32_t> order(n);
        pellumar::trainingOrder(data, t, order.data());

        // The reference trains on [X; ones] (when there is a bias), in doubles.
        const int32_t m = c.M + (c.bias ? 1 : 0);
        std::vector<double> Xb;
        for (int32_t f = 0; f < c.N; ++f) {
            Xb.insert(Xb.end(), d.X.begin() + static_cast<size_t>(f) * c.M,
                      d.X.begin() + static_cast<size_t>(f + 1) * c.M);
            if (c.bias) Xb.push_back(1.0);
        }
        std::vector<int32_t> counts;
        std::vector<double> want;
        for (double p : c.passes) {
            counts.push_back(static_cast<int32_t>(std::floor(p * n)));
            const auto one = counts.back() < 1 ? std::vector<double>(m, 0.0)
                                               : reference::train(Xb, d.y, c.lambda, counts.back(),
                                                                  c.eta0, m, n, order);
            want.insert(want.end(), one.begin(), one.end());
        }
        for (pellumar::VectorPath path : availablePaths()) {
            std::vector<double> got(want.size(), -1.0);
            pellumar::trainOnOrderCheckpoints(data.doubles, data.floats, d.y.data(), c.lambda,
                                              c.eta0, c.M, n, order.data(), c.bias, counts.data(),
                                              static_cast<int32_t>(counts.size()), got.data(),
                                              &path);
            EXPECT_TRUE(SameBits(got, want)) << c.what << " on " << pellumar::vectorPathName(path);
        }
        // As a batch runs it: the path of its own choice, the seed's order.
        std::vector<double> got(want.size(), -1.0);
        t.lambda = c.lambda;
        t.eta0 = c.eta0;
        t.checkpoints = counts.data();
        t.checkpointCount = static_cast<int32_t>(counts.size());
        t.out = got.data();
        pellumar::runOneTraining(data, t);
        EXPECT_TRUE(SameBits(got, want)) << c.what << " as one training of a batch";
    }
}

TEST(SeededOrder, IsSplitMix64ShuffledForwardAndAPermutation) {
    // The generator's first values from state 0, as its authors' reference
    // code gives them.
    pellumar::SplitMix64 g(0);
    EXPECT_EQ(g.next(), 0xE220A8397B1DCDAFull);
    EXPECT_EQ(g.next(), 0x6E789E6AA1B965F4ull);
    EXPECT_EQ(g.next(), 0x06C45D188009454Full);

    EXPECT_TRUE(pellumar::makeSeededOrder(0, 5).empty());
    EXPECT_EQ(pellumar::makeSeededOrder(1, 5), std::vector<int32_t>{0});
    // Two samples: one draw of one value, its remainder by 2 chooses the swap.
    pellumar::SplitMix64 two(41);
    const bool swapped = two.next() % 2 == 0;
    EXPECT_EQ(pellumar::makeSeededOrder(2, 41),
              swapped ? std::vector<int32_t>({1, 0}) : std::vector<int32_t>({0, 1}));
    for (int32_t N : {3, 17, 1000}) {
        const auto order = pellumar::makeSeededOrder(N, (uint64_t{1} << 53) - 1);
        EXPECT_EQ(std::set<int32_t>(order.begin(), order.end()).size(), static_cast<size_t>(N));
        EXPECT_EQ(*std::max_element(order.begin(), order.end()), N - 1);
        EXPECT_EQ(order, pellumar::makeSeededOrder(N, (uint64_t{1} << 53) - 1));
        EXPECT_NE(order, pellumar::makeSeededOrder(N, (uint64_t{1} << 53) - 2));
    }
}

namespace {
// A batch of trainings of several shapes on one matrix, dense or (with half
// its values made zero) sparse; on sparse data, alike trainings with other
// labels follow one another, as the engine's classifiers do.
struct Batch {
    Data d;
    pellumar::DataMatrix data;
    std::vector<int32_t> samples, counts;
    std::vector<pellumar::Training> trainings;
    std::vector<double> out, values, flipped;
    std::vector<uint64_t> rows, starts{0};
    explicit Batch(int trainingsWanted, bool sparse = false) {
        const EngineCase c{"batch", 20, 200, true, false, 0, {}, 0, 0, 1.0};
        d = makeData(c, 5);
        data.doubles = d.X.data();
        if (sparse) {
            for (int32_t f = 0; f < c.N; ++f) {
                for (int32_t k = 0; k < c.M; ++k)
                    if ((f + k) % 2) {
                        values.push_back(d.X[static_cast<size_t>(f) * c.M + k]);
                        rows.push_back(static_cast<uint64_t>(k));
                    }
                starts.push_back(values.size());
                flipped.push_back(f % 3 ? d.y[f] : -d.y[f]);
            }
            data.isSparse = true;
            data.sparse.values = values.data();
            data.sparse.rows = rows.data();
            data.sparse.starts = starts.data();
        }
        data.M = c.M;
        data.N = c.N;
        data.bias = true;
        for (int32_t f = 0; f < c.N; f += 2) samples.push_back(f);
        counts = {50, 400, 1000};
        const size_t m = static_cast<size_t>(c.M) + 1;
        out.assign(m * counts.size() * trainingsWanted, 0.0);
        for (int i = 0; i < trainingsWanted; ++i) {
            pellumar::Training t;
            t.labels = sparse && i % 3 == 1 ? flipped.data() : d.y.data();
            if (sparse ? (i / 3) % 2 : i % 2) {
                t.samples = samples.data();
                t.sampleCount = static_cast<int32_t>(samples.size());
            }
            t.seed = static_cast<uint64_t>(i / 3);
            t.lambda = 1e-4 * (1 + (sparse ? i / 3 : i) % 3);
            t.eta0 = 0.5;
            t.checkpoints = counts.data();
            t.checkpointCount = static_cast<int32_t>(counts.size());
            t.out = out.data() + m * counts.size() * i;
            trainings.push_back(t);
        }
    }
};
}  // namespace

TEST(EngineBatch, BitsDoNotDependOnTheNumberOfThreads) {
    for (bool sparse : {false, true}) {
    Batch one(13, sparse);
    pellumar::runBatch(one.data, one.trainings.data(), one.trainings.size(), 1);
    for (int threads : {2, 3, 8, 64}) {
        Batch many(13, sparse);
        // Every thread asked for, however short the trainings (0: no least work).
        pellumar::runBatch(many.data, many.trainings.data(), many.trainings.size(), threads, nullptr,
                           0.0);
        EXPECT_TRUE(SameBits(many.out, one.out)) << threads << " threads, sparse " << sparse;
    }
    // Each training is its own run: the same as it gives alone (on sparse
    // data, the group it ran in changed none of its bits).
    Batch alone(13, sparse);
    const size_t size = alone.out.size() / 13;
    for (int i : {6, 7, 8}) {
        pellumar::runOneTraining(alone.data, alone.trainings[i]);
        EXPECT_TRUE(SameBits(std::vector<double>(alone.out.begin() + i * size,
                                                 alone.out.begin() + (i + 1) * size),
                             std::vector<double>(one.out.begin() + i * size,
                                                 one.out.begin() + (i + 1) * size)))
            << "training " << i << ", sparse " << sparse;
    }
    }
}

namespace {
// A batch of runs of alike trainings (run g of sizes[g] trainings, seed g;
// their labels alternate), each of `iterations` iterations on M features and
// 1,000 samples (on sparse data, perSample non-zeros each), planned on
// `threads` threads, with least estimated work per thread `least`.
struct PlanRow {
    const char* what;
    bool sparse, grouped;
    std::vector<size_t> sizes;
    int threads;
    std::vector<size_t> firsts;  // the items wanted
    int threadsWanted;
    int32_t M = 3, iterations = 8;
    uint64_t perSample = 2;
    double least = 0.0;
};
constexpr double kLeast = pellumar::kLeastWorkPerThread;
}  // namespace

TEST(EngineBatch, ThreadsNeitherRereadSparseSamplesNorStartForLittleWork) {
    const PlanRow rows[] = {
        // what                                  sparse grouped sizes     threads firsts          threads
        {"dense, one training per item",          false, true, {1, 1, 1, 1, 1}, 2, {0, 1, 2, 3, 4, 5}, 2},
        {"dense, fewer trainings than threads",   false, true, {1, 1, 1}, 64, {0, 1, 2, 3}, 3},
        {"dense, one training",                   false, true, {1}, 8, {0, 1}, 1},
        {"dense, alike trainings stay apart",     false, true, {10}, 2, {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10}, 2},
        {"sparse, one classifier",                true,  true, {1}, 2, {0, 1}, 1},
        {"sparse, three classes, one read",       true,  true, {3}, 2, {0, 3}, 1},
        {"sparse, ten classes, one read",         true,  true, {10}, 2, {0, 10}, 1},
        {"sparse, sixteen, one read",             true,  true, {16}, 64, {0, 16}, 1},
        {"sparse, seventeen, two even reads",     true,  true, {17}, 2, {0, 8, 17}, 2},
        {"sparse, forty, three reads, 2 threads", true,  true, {40}, 2, {0, 16, 32, 40}, 2},
        {"sparse, forty, three even reads",       true,  true, {40}, 3, {0, 13, 26, 40}, 3},
        {"sparse, forty, three reads, 8 threads", true,  true, {40}, 8, {0, 13, 26, 40}, 3},
        {"sparse, forty on one thread",           true,  true, {40}, 1, {0, 16, 32, 40}, 1},
        {"sparse, two runs of ten",               true,  true, {10, 10}, 4, {0, 10, 20}, 2},
        {"sparse, two runs of twenty, 2 threads", true,  true, {20, 20}, 2, {0, 16, 20, 36, 40}, 2},
        {"sparse, two runs of twenty, 4 threads", true,  true, {20, 20}, 4, {0, 10, 20, 30, 40}, 4},
        {"sparse, runs of one",                   true,  true, {1, 1, 1}, 2, {0, 1, 2, 3}, 2},
        {"sparse, not grouped (another runner)",  true,  false, {4}, 2, {0, 1, 2, 3, 4}, 2},
        {"no trainings",                          true,  true, {}, 4, {0}, 1},
        // With the least work per thread (0.5 ms), estimated at about 70 us
        // per training of 5,000 iterations on 10 features and 0.5 ms on 200;
        // 1.1 ms to read 50 non-zeros per sample 10,000 times, and 0.5 ms
        // more for each classifier.
        {"dense, four small trainings",           false, true, {1, 1, 1, 1}, 2, {0, 1, 2, 3, 4}, 1, 10, 5000, 2, kLeast},
        {"dense, sixteen small, 8 threads",       false, true, std::vector<size_t>(16, 1), 8,
         {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16}, 2, 10, 5000, 2, kLeast},
        {"dense, two long trainings",             false, true, {1, 1}, 2, {0, 1, 2}, 2, 200, 5000, 2, kLeast},
        {"dense, one training per thread",        false, true, {1, 1, 1}, 8, {0, 1, 2, 3}, 3, 200, 5000, 2, kLeast},
        {"sparse, forty long, 2 threads",         true,  true, {40}, 2, {0, 16, 32, 40}, 2, 1000, 10000, 50, kLeast},
        {"sparse, forty short",                   true,  true, {40}, 2, {0, 16, 32, 40}, 1, 1000, 100, 50, kLeast},
        {"sparse, two runs of one, short",        true,  true, {1, 1}, 2, {0, 1, 2}, 1, 1000, 10000, 5, kLeast},
        {"sparse, two runs of one, long",         true,  true, {1, 1}, 2, {0, 1, 2}, 2, 1000, 10000, 50, kLeast},
    };
    std::vector<double> labels[2] = {std::vector<double>(1000, 1.0), std::vector<double>(1000, -1.0)};
    for (const PlanRow& row : rows) {
        pellumar::DataMatrix data;
        data.isSparse = row.sparse;
        data.M = row.M;
        data.N = 1000;
        data.bias = true;
        std::vector<uint64_t> starts(1001);  // only their count is read
        for (size_t f = 0; f < starts.size(); ++f) starts[f] = f * row.perSample;
        data.sparse.starts = starts.data();
        const std::vector<int32_t> counts = {row.iterations / 2, row.iterations};
        std::vector<pellumar::Training> trainings;
        for (size_t g = 0; g < row.sizes.size(); ++g)
            for (size_t k = 0; k < row.sizes[g]; ++k) {
                pellumar::Training t;
                t.labels = labels[k % 2].data();
                t.seed = g;
                t.lambda = 1e-4;
                t.eta0 = 0.5;
                t.checkpoints = counts.data();
                t.checkpointCount = 2;
                trainings.push_back(t);
            }
        const pellumar::BatchPlan plan = pellumar::planBatch(data, trainings.data(), trainings.size(),
                                                             row.threads, row.grouped, row.least);
        EXPECT_EQ(plan.firsts, row.firsts) << row.what;
        EXPECT_EQ(plan.threads, row.threadsWanted) << row.what;
    }
}

TEST(EngineBatch, SparseRunsCutForThreadsGiveTheBitsOfOneThread) {
    // Runs of 40, 17 and 3 alike trainings: cut into pieces of 16 and the
    // rest, or into even pieces, by the number of threads.
    const int sizes[] = {40, 17, 3};
    auto make = [&](Batch& b) {
        size_t i = 0;
        for (int g = 0; g < 3; ++g)
            for (int k = 0; k < sizes[g]; ++k, ++i) {
                pellumar::Training& t = b.trainings[i];
                t.labels = k % 3 == 1 ? b.flipped.data() : b.d.y.data();
                t.samples = g == 1 ? b.samples.data() : nullptr;
                t.sampleCount = g == 1 ? static_cast<int32_t>(b.samples.size()) : 0;
                t.seed = 100 + g;
                t.lambda = 1e-4 * (1 + g);
            }
    };
    Batch one(60, true);
    make(one);
    pellumar::runBatch(one.data, one.trainings.data(), one.trainings.size(), 1);
    for (int threads : {2, 3, 4, 5, 64}) {
        Batch many(60, true);
        make(many);
        pellumar::runBatch(many.data, many.trainings.data(), many.trainings.size(), threads, nullptr,
                           0.0);
        EXPECT_TRUE(SameBits(many.out, one.out)) << threads << " threads";
    }
    // And each the bits it gets alone.
    Batch alone(60, true);
    make(alone);
    const size_t size = alone.out.size() / 60;
    for (int i : {0, 15, 16, 39, 40, 56, 59}) {
        pellumar::runOneTraining(alone.data, alone.trainings[i]);
        EXPECT_TRUE(SameBits(std::vector<double>(alone.out.begin() + i * size,
                                                 alone.out.begin() + (i + 1) * size),
                             std::vector<double>(one.out.begin() + i * size,
                                                 one.out.begin() + (i + 1) * size)))
            << "training " << i;
    }
}

#if defined(__linux__)
namespace {
std::mutex threadsSeenLock;
std::set<std::thread::id> threadsSeen;
// Records the thread, and gives the processor up for a while, so that any
// other thread of the batch gets to take trainings.
void runRecordingTheThread(const pellumar::DataMatrix& data, const pellumar::Training& t) {
    {
        std::lock_guard<std::mutex> hold(threadsSeenLock);
        threadsSeen.insert(std::this_thread::get_id());
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
    pellumar::runOneTraining(data, t);
}
}  // namespace

TEST(EngineBatch, NoMoreThreadsThanTheProcessorsTheCallerMayRunOn) {
    cpu_set_t before;
    ASSERT_EQ(sched_getaffinity(0, sizeof before, &before), 0);
    int first = 0;
    while (!CPU_ISSET(first, &before)) ++first;
    cpu_set_t one;
    CPU_ZERO(&one);
    CPU_SET(first, &one);
    ASSERT_EQ(sched_setaffinity(0, sizeof one, &one), 0);
    Batch pinned(9), alone(9);
    threadsSeen.clear();
    pellumar::runBatch(pinned.data, pinned.trainings.data(), pinned.trainings.size(), 4,
                       runRecordingTheThread);
    ASSERT_EQ(sched_setaffinity(0, sizeof before, &before), 0);
    EXPECT_EQ(threadsSeen.size(), 1u);
    EXPECT_EQ(threadsSeen.count(std::this_thread::get_id()), 1u);
    pellumar::runBatch(alone.data, alone.trainings.data(), alone.trainings.size(), 1);
    EXPECT_TRUE(SameBits(pinned.out, alone.out));
}
#endif

namespace {
void runOutOfMemoryAtTheFifth(const pellumar::DataMatrix& data, const pellumar::Training& t) {
    if (t.seed == 1 && t.samples) throw std::bad_alloc();
    pellumar::runOneTraining(data, t);
}
void runFailingEveryOther(const pellumar::DataMatrix& data, const pellumar::Training& t) {
    if (t.samples) throw std::runtime_error("refused");
    pellumar::runOneTraining(data, t);
}
void runThrowingSomethingElse(const pellumar::DataMatrix& data, const pellumar::Training& t) {
    if (t.samples) throw 7;
    pellumar::runOneTraining(data, t);
}
}  // namespace

TEST(EngineBatch, AFailureInAThreadIsRaisedOnceAllThreadsHaveStopped) {
    struct Row {
        pellumar::TrainingRunner runner;
        int threads;
        bool outOfMemory;
        const char* what;
    };
    const Row rows[] = {
        {runOutOfMemoryAtTheFifth, 4, true, "not enough memory for a training's working vectors"},
        {runOutOfMemoryAtTheFifth, 1, true, "not enough memory for a training's working vectors"},
        {runFailingEveryOther, 3, false, "refused"},
        {runThrowingSomethingElse, 2, false, "unknown exception"},
    };
    for (const Row& row : rows) {
        Batch b(9);
        try {
            pellumar::runBatch(b.data, b.trainings.data(), b.trainings.size(), row.threads,
                               row.runner);
            ADD_FAILURE() << row.what << ": no failure raised";
        } catch (const pellumar::BatchFailure& e) {
            EXPECT_EQ(e.outOfMemory(), row.outOfMemory);
            EXPECT_STREQ(e.what(), row.what);
            EXPECT_LT(e.training(), b.trainings.size());
            EXPECT_EQ(e.trainingCount(), 1u) << row.what;
            EXPECT_TRUE(b.trainings[e.training()].samples != nullptr) << row.what;
        }
    }
    // Iterations on no samples: refused by the training itself, which the
    // failure names; on sparse data the three alike trainings 3, 4 and 5 run
    // as one group and fail together, and the failure names all three.
    for (bool sparse : {false, true}) {
        Batch b(9, sparse);
        b.trainings[sparse ? 4 : 5].sampleCount = 0;
        if (sparse)
            for (int i : {3, 5}) b.trainings[i].sampleCount = 0;
        try {
            pellumar::runBatch(b.data, b.trainings.data(), b.trainings.size(), 1);
            ADD_FAILURE() << "no failure raised, sparse " << sparse;
        } catch (const pellumar::BatchFailure& e) {
            EXPECT_FALSE(e.outOfMemory());
            EXPECT_EQ(e.training(), sparse ? 3u : 5u) << "sparse " << sparse;
            EXPECT_EQ(e.trainingCount(), sparse ? 3u : 1u) << "sparse " << sparse;
        }
    }
}

TEST(EngineBatch, AFailureIsNamedByTheClassesFoldAndSettingTheCallerPassed) {
    // Three classes, two runs: training k + 3*r is class positives[k] in run r.
    const double positives[] = {3, 1, 2};
    const double runs[] = {0, 1e-4, 0.5, 42, 2, 1e-3, 16, 9007199254740991.0};
    struct Row {
        size_t first, count;
        const char* name;
    } rows[] = {
        {0, 1, "training of class 3 on all samples, lambda 0.0001, eta0 0.5, seed 42 (run 1)"},
        {2, 1, "training of class 2 on all samples, lambda 0.0001, eta0 0.5, seed 42 (run 1)"},
        {4, 1, "training of class 1 without fold 2, lambda 0.001, eta0 16, "
               "seed 9007199254740991 (run 2)"},
        {4, 2, "trainings of classes 1 to 2 together without fold 2, lambda 0.001, eta0 16, "
               "seed 9007199254740991 (run 2)"},
    };
    for (const Row& row : rows) {
        char text[300];
        pellumar::nameTrainings(row.first, row.count, 3, positives, runs, text, sizeof text);
        EXPECT_STREQ(text, row.name);
    }
}

TEST(EngineBatch, ACallIsPlannedAsClassesTimesRunsWithTheirSamplesAndColumns) {
    // Five samples of classes 3, 1, 3, 2, 1 in folds 1, 2, 2, 1, 3; three
    // classes; run 1 on all samples, run 2 without fold 2; two checkpoints.
    const double classOf[] = {3, 1, 3, 2, 1}, foldOf[] = {1, 2, 2, 1, 3};
    const double positives[] = {3, 1, 2};
    const double runs[] = {0, 1e-4, 0.5, 42, 2, 1e-3, 16, 7};
    const double iterations[] = {5, 10, 3, 6};
    const size_t m = 4;
    std::vector<double> out(m * 2 * 3 * 2);
    const pellumar::CallPlan plan(classOf, foldOf, 5, positives, 3, runs, 2, iterations, 2,
                                  out.data(), m);
    ASSERT_EQ(plan.size(), 6u);
    const std::vector<double> labelsOf[] = {{1, -1, 1, -1, -1}, {-1, 1, -1, -1, 1}, {-1, -1, -1, 1, -1}};
    for (size_t i = 0; i < plan.size(); ++i) {
        const pellumar::Training& t = plan.trainings()[i];
        const size_t k = i % 3, r = i / 3;
        EXPECT_EQ(std::vector<double>(t.labels, t.labels + 5), labelsOf[k]) << i;
        if (r == 0) {
            EXPECT_EQ(t.samples, nullptr) << i;
        } else {
            ASSERT_EQ(t.sampleCount, 3) << i;
            EXPECT_EQ(std::vector<int32_t>(t.samples, t.samples + 3), (std::vector<int32_t>{0, 3, 4}));
        }
        EXPECT_EQ(t.seed, r == 0 ? 42u : 7u);
        EXPECT_EQ(t.lambda, r == 0 ? 1e-4 : 1e-3);
        EXPECT_EQ(t.eta0, r == 0 ? 0.5 : 16.0);
        ASSERT_EQ(t.checkpointCount, 2);
        EXPECT_EQ(t.checkpoints[0], r == 0 ? 5 : 3);
        EXPECT_EQ(t.checkpoints[1], r == 0 ? 10 : 6);
        EXPECT_EQ(t.out, out.data() + m * 2 * (k + 3 * r)) << i;
    }
}
