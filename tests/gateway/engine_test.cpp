// The toolbox's engine, loaded from its file by the stand-in host: its
// results laid out as documented (checkpoint, then classifier, then run)
// and equal, bit for bit, to the core's trainings of the same seeds, for
// double, single and sparse data; its refusals.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "../support/same_bits.h"
#include "engine/batch.h"
#include "engine/scoring.h"
#include "standin_host.h"

using standin::makeArray;
using standin::makeDouble;
using standin::makeScalar;

namespace {

class Engine : public ::testing::Test {
protected:
    static void SetUpTestSuite() { engine_ = new standin::LoadedModule(PELLUMAR_ENGINE_PATH); }
    static void TearDownTestSuite() { delete engine_; }
    ~Engine() override {
        for (mxArray* a : owned_) mxDestroyArray(a);
    }
    const mxArray* keep(mxArray* a) {
        owned_.push_back(a);
        return a;
    }
    standin::CallResult call(const std::vector<const mxArray*>& inputs) {
        standin::CallResult r = engine_->call(1, inputs);
        for (mxArray* a : r.outputs)
            if (a) owned_.push_back(a);
        return r;
    }
    static standin::LoadedModule* engine_;
    std::vector<mxArray*> owned_;
};
standin::LoadedModule* Engine::engine_ = nullptr;

// 7 features, 60 samples of three classes, a third of the values zero.
struct Problem {
    int M = 7, N = 60;
    std::vector<double> X, classOf, foldOf;
    std::vector<int> starts{0}, rows;
    std::vector<double> values;
    std::vector<unsigned> starts32, rows32;  // the same, as the core reads 32-bit indices
    // The samples as the core reads them, with the bias: dense or sparse.
    pellumar::DataMatrix matrix(bool sparse) const {
        pellumar::DataMatrix m;
        m.doubles = X.data();
        if (sparse) {
            m.isSparse = true;
            m.sparse.values = values.data();
            m.sparse.rows = rows32.data();
            m.sparse.starts = starts32.data();
            m.sparse.indexBytes = 4;
        }
        m.M = M;
        m.N = N;
        m.bias = true;
        return m;
    }
    Problem() {
        for (int f = 0; f < N; ++f) {
            classOf.push_back(1 + f % 3);
            foldOf.push_back(1 + f % 4);
            for (int k = 0; k < M; ++k) {
                const double v = (f * 7 + k * 3) % 3 == 0 ? 0.0 : std::sin(f * 1.7 + k) + (f % 3 == k % 3);
                X.push_back(static_cast<float>(v));  // exact in single too
                if (v != 0.0) {
                    rows.push_back(k);
                    values.push_back(static_cast<float>(v));
                }
            }
            starts.push_back(static_cast<int>(rows.size()));
        }
        starts32.assign(starts.begin(), starts.end());
        rows32.assign(rows.begin(), rows.end());
    }
};

}  // namespace

TEST_F(Engine, GivesTheCoreTrainingsOfItsSeedsLaidOutByRunClassifierAndCheckpoint) {
    const Problem p;
    // Two runs: all samples; all but fold 2. Two classifiers (classes 3, 1).
    const std::vector<double> runs = {0, 1e-3, 0.5, 12345, 2, 1e-4, 1.0, 9007199254740991.0};
    // Enough iterations (about a millisecond's work) that the engine starts
    // its worker threads when allowed more than one.
    const std::vector<double> iterations = {30, 20000, 0, 30000};
    const std::vector<double> positives = {3, 1};
    mxArray* single = makeArray(mxSINGLE_CLASS, p.M, p.N, false);
    float* s = static_cast<float*>(standin::dataOf(single));
    for (size_t i = 0; i < p.X.size(); ++i) s[i] = static_cast<float>(p.X[i]);
    const mxArray* data[] = {keep(makeDouble(p.M, p.N, p.X)), keep(single),
                             keep(standin::makeSparseColumns(p.M, p.N, p.starts.data(),
                                                             p.rows.data(), p.values.data()))};
    const char* names[] = {"double", "single", "sparse"};
    for (int d = 0; d < 3; ++d) {
        for (double threads : {1.0, 3.0}) {
            const auto r = call({data[d], keep(makeDouble(1, p.N, p.classOf)),
                                 keep(makeDouble(1, 2, positives)), keep(makeDouble(1, p.N, p.foldOf)),
                                 keep(makeDouble(4, 2, runs)), keep(makeDouble(2, 2, iterations)),
                                 keep(makeScalar(1.0)), keep(makeScalar(threads))});
            ASSERT_FALSE(r.failed) << r.errorMessage;
            ASSERT_EQ(mxGetM(r.outputs[0]), 8u);
            ASSERT_EQ(mxGetN(r.outputs[0]), 8u);
            const double* W = mxGetPr(r.outputs[0]);
            // The same trainings through the core.
            std::vector<int32_t> kept;
            for (int f = 0; f < p.N; ++f)
                if (p.foldOf[f] != 2) kept.push_back(f);
            const pellumar::DataMatrix matrix = p.matrix(d == 2);
            for (int run = 0; run < 2; ++run)
                for (int k = 0; k < 2; ++k) {
                    std::vector<double> labels(p.N), want(16);
                    for (int f = 0; f < p.N; ++f) labels[f] = p.classOf[f] == positives[k] ? 1.0 : -1.0;
                    const std::vector<int32_t> counts = {static_cast<int32_t>(iterations[2 * run]),
                                                         static_cast<int32_t>(iterations[2 * run + 1])};
                    pellumar::Training t;
                    t.labels = labels.data();
                    if (run == 1) {
                        t.samples = kept.data();
                        t.sampleCount = static_cast<int32_t>(kept.size());
                    }
                    t.seed = static_cast<uint64_t>(runs[4 * run + 3]);
                    t.lambda = runs[4 * run + 1];
                    t.eta0 = runs[4 * run + 2];
                    t.checkpoints = counts.data();
                    t.checkpointCount = 2;
                    t.out = want.data();
                    pellumar::runOneTraining(matrix, t);
                    const double* got = W + 8 * 2 * (k + 2 * run);
                    EXPECT_TRUE(SameBits(std::vector<double>(got, got + 16), want))
                        << names[d] << ", run " << run << ", classifier " << k << ", " << threads
                        << " threads";
                }
        }
    }
}

// The stand-in host types and refuses the entries as 64-bit MATLAB does:
// the 32-bit API's sparse entries raise the host's error (and are counted),
// the 64-bit API's give size_t positions. The engine above trained on sparse
// data without calling a refused entry.
TEST_F(Engine, TheHostRefusesThe32BitSparseEntriesAndTheEngineCallsNone) {
    const long before = standin::refusedEntryCalls();
    const int starts[] = {0, 1, 3}, rows[] = {2, 0, 1};
    const double values[] = {1.5, -2.0, 4.0};
    const mxArray* X = keep(standin::makeSparseColumns(3, 2, starts, rows, values));
    for (auto entry : {mxGetIr_700, mxGetJc_700}) {
        try {
            entry(X);
            ADD_FAILURE() << "a 32-bit sparse entry returned";
        } catch (const standin::HostError& e) {
            EXPECT_NE(std::string(e.what()).find("must be rebuilt with the \"-largeArrayDims\" "
                                                 "option"), std::string::npos) << e.what();
        }
    }
    EXPECT_EQ(standin::refusedEntryCalls(), before + 2);
    const size_t* ir = mxGetIr_730(X);
    const size_t* jc = mxGetJc_730(X);
    EXPECT_EQ(std::vector<size_t>(ir, ir + 3), (std::vector<size_t>{2, 0, 1}));
    EXPECT_EQ(std::vector<size_t>(jc, jc + 3), (std::vector<size_t>{0, 1, 3}));
    static_assert(sizeof(mwIndex) == sizeof(size_t), "the tests use the 64-bit API");

    const Problem p;
    const auto r = call({keep(standin::makeSparseColumns(p.M, p.N, p.starts.data(), p.rows.data(),
                                                         p.values.data())),
                         keep(makeDouble(1, p.N, p.classOf)), keep(makeScalar(2)),
                         keep(makeDouble(1, 0, {})), keep(makeDouble(4, 1, {0, 1e-4, 0.5, 7})),
                         keep(makeScalar(100)), keep(makeScalar(1)), keep(makeScalar(2))});
    EXPECT_FALSE(r.failed) << r.errorMessage;
    EXPECT_EQ(standin::refusedEntryCalls(), before + 2) << "the engine called a refused entry";
}

TEST_F(Engine, ScoresChosenColumnsOnChosenSamplesAsTheCoreDoes) {
    const Problem p;
    std::vector<double> W(8 * 3);
    for (size_t i = 0; i < W.size(); ++i) W[i] = std::cos(1.0 + i) * 4.0;
    const std::vector<double> columns = {3, 1}, samples = {60, 2, 7};
    for (bool sparse : {false, true}) {
        const mxArray* X = sparse ? keep(standin::makeSparseColumns(p.M, p.N, p.starts.data(),
                                                                    p.rows.data(), p.values.data()))
                                  : keep(makeDouble(p.M, p.N, p.X));
        const auto r = call({keep(makeDouble(8, 3, W)), keep(makeDouble(1, 2, columns)), X,
                             keep(makeDouble(1, 3, samples)), keep(makeScalar(1.0))});
        ASSERT_FALSE(r.failed) << r.errorMessage;
        ASSERT_EQ(mxGetM(r.outputs[0]), 2u);
        ASSERT_EQ(mxGetN(r.outputs[0]), 3u);
        const pellumar::DataMatrix data = p.matrix(sparse);
        const double* weights[] = {W.data() + 16, W.data()};
        const int32_t chosen[] = {59, 1, 6};
        std::vector<double> want(6);
        pellumar::scoreSamples(data, weights, 2, chosen, 3, want.data());
        EXPECT_TRUE(SameBits(standin::valuesOf(r.outputs[0]), want)) << "sparse " << sparse;
    }
}

TEST_F(Engine, RefusesWhatItCannotTrainWithIdentifiers) {
    const Problem p;
    auto inputs = [&](const mxArray* X, double fold, double seed, double iterations, double threads) {
        return std::vector<const mxArray*>{
            X, keep(makeDouble(1, p.N, p.classOf)), keep(makeScalar(1)),
            keep(makeDouble(1, p.N, std::vector<double>(p.N, 1.0))),
            keep(makeDouble(4, 1, {fold, 1e-4, 0.5, seed})), keep(makeScalar(iterations)),
            keep(makeScalar(0)), keep(makeScalar(threads))};
    };
    const mxArray* X = keep(makeDouble(p.M, p.N, p.X));
    struct Row {
        const char* id;
        std::vector<const mxArray*> in;
    } rows[] = {
        {"pellumar:engineCall", {X}},
        {"pellumar:engineCall", inputs(keep(makeArray(mxINT8_CLASS, 2, 2, false)), 0, 1, 5, 1)},
        {"pellumar:engineCall", inputs(keep(makeArray(mxDOUBLE_CLASS, 2, 2, true)), 0, 1, 5, 1)},
        {"pellumar:engineCall", inputs(X, 0, -1, 5, 1)},
        {"pellumar:engineCall", inputs(X, 0, 9007199254740992.0, 5, 1)},
        {"pellumar:engineCall", inputs(X, 0.5, 1, 5, 1)},
        {"pellumar:engineCall", inputs(X, 0, 1, 5, 0)},
        {"pellumar:tooManyIterations", inputs(X, 0, 1, 2147483648.0, 1)},
        {"pellumar:tooManyIterations", inputs(X, 0, 1, NAN, 1)},
        {"pellumar:noSamples", inputs(X, 1, 1, 5, 1)},  // every sample is in fold 1
        {"pellumar:engineCall", {keep(makeScalar(-1)), keep(makeScalar(3))}},
        {"pellumar:engineCall", {keep(makeScalar(5)), keep(makeScalar(0.5))}},
        // Scores: W with another number of rows; a column or a sample out of range.
        {"pellumar:featureCount", {keep(makeDouble(3, 2, std::vector<double>(6, 1.0))),
                                   keep(makeScalar(1)), X, keep(makeDouble(0, 0, {})),
                                   keep(makeScalar(0))}},
        {"pellumar:engineCall", {keep(makeDouble(7, 2, std::vector<double>(14, 1.0))),
                                 keep(makeScalar(3)), X, keep(makeDouble(0, 0, {})),
                                 keep(makeScalar(0))}},
        {"pellumar:engineCall", {keep(makeDouble(8, 2, std::vector<double>(16, 1.0))),
                                 keep(makeScalar(1)), X, keep(makeScalar(61)), keep(makeScalar(1))}},
    };
    for (const Row& row : rows) {
        const long before = standin::liveArrays();
        const auto r = call(row.in);
        EXPECT_TRUE(r.failed && r.errorId == row.id) << row.id << ": got '" << r.errorId << "' "
                                                     << r.errorMessage;
        EXPECT_EQ(standin::liveArrays(), before) << row.id << ": arrays left behind";
    }
}
