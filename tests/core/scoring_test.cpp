// Scores read from the weights and the data in place: every layout of the
// data, with and without the bias and a sample list, bit for bit against
// one plain running sum per classifier and sample, in any caller's
// rounding and denormal modes.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <random>
#include <vector>

#include "../support/ieee_environments.h"
#include "../support/same_bits.h"
#include "engine/scoring.h"

namespace {

// The order written out plainly: 0.0, then w[j]*x[j] added feature after
// feature (zeros skipped for sparse data, as they are not stored), then the
// bias weight.
double plainScore(const std::vector<double>& w, const std::vector<double>& x, bool skipZeros,
                  bool bias) {
    double s = 0.0;
    for (size_t j = 0; j < x.size(); ++j)
        if (!skipZeros || x[j] != 0.0) s = s + w[j] * x[j];
    if (bias) s = s + w[x.size()];
    return s;
}

}  // namespace

TEST(Scoring, EachScoreIsOneRunningSumInRowOrderWhateverTheLayout) {
    enum Layout { DOUBLES, FLOATS, SPARSE32, SPARSE64 };
    struct Row {
        Layout layout;
        int32_t M, N, K;
        bool bias, list;
    } rows[] = {
        {DOUBLES, 37, 11, 3, true, false},  // 11 samples: groups of four and three left
        {DOUBLES, 5, 4, 1, false, true},
        {DOUBLES, 0, 6, 2, true, false},    // no features: the bias alone
        {FLOATS, 29, 9, 2, true, true},
        {SPARSE32, 40, 13, 3, true, true},
        {SPARSE64, 40, 13, 1, false, false},
        {SPARSE64, 300, 7, 17, true, true},  // more classifiers than a cache line
    };
    std::mt19937_64 random(5);
    std::uniform_real_distribution<double> uniform(-3.0, 3.0);
    for (const Row& row : rows) {
        const bool sparse = row.layout == SPARSE32 || row.layout == SPARSE64;
        const size_t M = static_cast<size_t>(row.M), m = M + (row.bias ? 1 : 0);
        std::vector<double> X(M * row.N);
        for (double& v : X) v = random() % 3 == 0 ? static_cast<float>(uniform(random)) : 0.0;
        std::vector<float> Xf(X.begin(), X.end());
        std::vector<double> values;
        std::vector<uint32_t> rows32, starts32{0};
        std::vector<uint64_t> rows64, starts64{0};
        for (int32_t f = 0; f < row.N; ++f) {
            for (size_t j = 0; j < M; ++j)
                if (X[f * M + j] != 0.0) {
                    values.push_back(X[f * M + j]);
                    rows32.push_back(static_cast<uint32_t>(j));
                    rows64.push_back(j);
                }
            starts32.push_back(static_cast<uint32_t>(values.size()));
            starts64.push_back(values.size());
        }
        pellumar::DataMatrix data;
        data.M = row.M;
        data.N = row.N;
        data.bias = row.bias;
        if (row.layout == DOUBLES) data.doubles = X.data();
        if (row.layout == FLOATS) data.floats = Xf.data();
        if (sparse) {
            data.isSparse = true;
            data.sparse.values = values.data();
            data.sparse.rows = row.layout == SPARSE32 ? static_cast<const void*>(rows32.data())
                                                      : static_cast<const void*>(rows64.data());
            data.sparse.starts = row.layout == SPARSE32 ? static_cast<const void*>(starts32.data())
                                                        : static_cast<const void*>(starts64.data());
            data.sparse.indexBytes = row.layout == SPARSE32 ? 4 : 8;
        }
        // The weights: columns of one matrix, given out of order and one twice.
        std::vector<double> W(m * (row.K + 1));
        for (double& v : W) v = uniform(random) * 1e3;
        std::vector<const double*> weights;
        for (int32_t k = 0; k < row.K; ++k) weights.push_back(W.data() + m * ((k * 5 + 1) % (row.K + 1)));
        weights.push_back(weights[0]);
        const int32_t K = row.K + 1;
        std::vector<int32_t> samples;
        for (int32_t f = row.N - 1; f >= 0; f -= 2) samples.push_back(f);
        const int32_t count = row.list ? static_cast<int32_t>(samples.size()) : row.N;

        std::vector<double> want(static_cast<size_t>(K) * count);
        for (int32_t i = 0; i < count; ++i) {
            const int32_t f = row.list ? samples[i] : i;
            const std::vector<double> x(X.begin() + f * M, X.begin() + (f + 1) * M);
            for (int32_t k = 0; k < K; ++k)
                want[k + K * i] = plainScore(std::vector<double>(weights[k], weights[k] + m), x,
                                             sparse, row.bias);
        }
        for (const ieee::Modes& modes : ieee::environments()) {
            if (modes.traps) continue;  // the training suites cover trapping callers
            std::vector<double> got(want.size(), -1.0);
            ieee::set(modes);
            // What the thread really holds: an emulator (valgrind) may drop
            // flush-to-zero or denormals-are-zero, and what must come back
            // is what the caller had.
            const ieee::Modes before = ieee::current();
            pellumar::scoreSamples(data, weights.data(), K, row.list ? samples.data() : nullptr,
                                   count, got.data());
            const ieee::Modes after = ieee::current();
            ieee::set(ieee::Modes{});
            EXPECT_TRUE(after == before) << "caller's modes not given back";
            EXPECT_TRUE(SameBits(got, want)) << "layout " << row.layout << ", M " << row.M
                                             << ", K " << K << ", " << ieee::describe(modes);
        }
    }
}
