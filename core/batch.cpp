#include "batch.h"

#include <atomic>
#include <cstdio>
#include <new>
#include <string>
#include <vector>

#include "ieee_modes.h"
#include "seeded_order.h"
#include "sparse_run.h"
#include "train_on_order.h"
#include "worker_threads.h"

namespace pellumar {

void trainingOrder(const DataMatrix& data, const Training& training, int32_t* order) {
    const int32_t n = training.samples ? training.sampleCount : data.N;
    const std::vector<int32_t> positions = makeSeededOrder(n, training.seed);
    for (int32_t p = 0; p < n; ++p)
        order[p] = training.samples ? training.samples[positions[p]] : positions[p];
}

void runOneTraining(const DataMatrix& data, const Training& training) {
    const int32_t n = training.samples ? training.sampleCount : data.N;
    const int32_t T = training.checkpointCount > 0
                          ? training.checkpoints[training.checkpointCount - 1] : 0;
    if (n < 1 && T >= 1)
        throw std::invalid_argument("a training asks for " + std::to_string(T) +
                                    " iterations on no samples");
    std::vector<int32_t> order(n > 0 ? static_cast<size_t>(n) : 0);
    trainingOrder(data, training, order.data());
    // Every training computes in the IEEE default modes, on whatever thread
    // runs it (modes belong to a thread).
    const IeeeDefaultModes ieeeModes;
    if (data.isSparse) {
        trainSparseOnOrder(data.sparse, training.labels, training.lambda, training.eta0, data.M, n,
                           order.data(), data.bias, training.checkpoints, training.checkpointCount,
                           training.out);
        return;
    }
    trainOnOrderCheckpoints(data.doubles, data.doubles ? nullptr : data.floats, training.labels,
                            training.lambda, training.eta0, data.M, n, order.data(), data.bias,
                            training.checkpoints, training.checkpointCount, training.out);
}

namespace {
// What the threads of one batch share. Only atomics are written by more than
// one thread; the failure's details are written by the one thread that
// claimed it and read after every thread has been joined.
struct BatchWork {
    const DataMatrix* data;
    const Training* trainings;
    size_t count;
    TrainingRunner run;
    std::atomic<size_t> next{0};
    std::atomic<bool> failed{false};
    bool outOfMemory = false;
    size_t failedTraining = 0;
    char what[256] = "";

    void fail(size_t training, bool memory, const char* message) {
        bool expected = false;
        if (!failed.compare_exchange_strong(expected, true)) return;  // not the first
        outOfMemory = memory;
        failedTraining = training;
        std::snprintf(what, sizeof what, "%s", message);
    }
};

void work(void* context) {
    BatchWork& b = *static_cast<BatchWork*>(context);
    for (;;) {
        if (b.failed.load()) return;
        const size_t i = b.next.fetch_add(1);
        if (i >= b.count) return;
        try {
            b.run(*b.data, b.trainings[i]);
        } catch (const std::bad_alloc&) {
            b.fail(i, true, "not enough memory for a training's working vectors");
        } catch (const std::exception& e) {
            b.fail(i, false, e.what());
        } catch (...) {
            b.fail(i, false, "unknown exception");
        }
    }
}
}  // namespace

void runBatch(const DataMatrix& data, const Training* trainings, size_t count, int threads,
              TrainingRunner runTraining) {
    BatchWork b;
    b.data = &data;
    b.trainings = trainings;
    b.count = count;
    b.run = runTraining ? runTraining : runOneTraining;
    const int useful = count < static_cast<size_t>(threads > 1 ? threads : 1)
                           ? static_cast<int>(count) : (threads > 1 ? threads : 1);
    runOnThreads(useful > 1 ? useful : 1, work, &b);
    if (b.failed.load()) throw BatchFailure(b.outOfMemory, b.failedTraining, b.what);
}

}  // namespace pellumar
