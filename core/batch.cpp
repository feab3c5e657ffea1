#include "exact_arithmetic.h"  // before everything else (see there)

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
// Trainings that differ only in their labels: on sparse data they run as
// one group, each sample read once for all of them.
bool alike(const Training& a, const Training& b) {
    return a.samples == b.samples && a.sampleCount == b.sampleCount && a.seed == b.seed &&
           a.lambda == b.lambda && a.eta0 == b.eta0 && a.checkpoints == b.checkpoints &&
           a.checkpointCount == b.checkpointCount;
}

// A group of two or more alike trainings on sparse data, run as one.
void runGroup(const DataMatrix& data, const Training* group, size_t count) {
    const Training& first = group[0];
    const int32_t n = first.samples ? first.sampleCount : data.N;
    const int32_t T = first.checkpointCount > 0 ? first.checkpoints[first.checkpointCount - 1] : 0;
    if (n < 1 && T >= 1)
        throw std::invalid_argument("a training asks for " + std::to_string(T) +
                                    " iterations on no samples");
    std::vector<int32_t> order(n > 0 ? static_cast<size_t>(n) : 0);
    trainingOrder(data, first, order.data());
    std::vector<const double*> labels(count);
    std::vector<double*> outs(count);
    for (size_t i = 0; i < count; ++i) {
        labels[i] = group[i].labels;
        outs[i] = group[i].out;
    }
    const IeeeDefaultModes ieeeModes;
    trainSparseGroupOnOrder(data.sparse, labels.data(), static_cast<int32_t>(count), first.lambda,
                            first.eta0, data.M, n, order.data(), data.bias, first.checkpoints,
                            first.checkpointCount, outs.data());
}

// What the threads of one batch share. Only atomics are written by more than
// one thread; the failure's details are written by the one thread that
// claimed it and read after every thread has been joined.
struct BatchWork {
    const DataMatrix* data;
    const Training* trainings;
    std::vector<size_t> firsts;  // work item i: trainings firsts[i] .. firsts[i+1]-1
    TrainingRunner run;          // null: runGroup() for each work item
    std::atomic<size_t> next{0};
    std::atomic<bool> failed{false};
    bool outOfMemory = false;
    size_t failedTraining = 0, failedCount = 0;
    char what[256] = "";

    void fail(size_t training, size_t count, bool memory, const char* message) {
        bool expected = false;
        if (!failed.compare_exchange_strong(expected, true)) return;  // not the first
        outOfMemory = memory;
        failedTraining = training;
        failedCount = count;
        std::snprintf(what, sizeof what, "%s", message);
    }
};

void work(void* context) {
    BatchWork& b = *static_cast<BatchWork*>(context);
    for (;;) {
        if (b.failed.load()) return;
        const size_t item = b.next.fetch_add(1);
        if (item + 1 >= b.firsts.size()) return;
        const size_t i = b.firsts[item], count = b.firsts[item + 1] - i;
        // The trainings that fail together: the one running, or the whole
        // group when the group runs as one.
        size_t failing = i, failingCount = count;
        try {
            if (b.run) {
                for (size_t k = 0; k < count; ++k) {
                    failing = i + k;
                    failingCount = 1;
                    b.run(*b.data, b.trainings[i + k]);
                }
            } else if (!b.data->isSparse || count == 1) {
                for (size_t k = 0; k < count; ++k) {
                    failing = i + k;
                    failingCount = 1;
                    runOneTraining(*b.data, b.trainings[i + k]);
                }
            } else {
                runGroup(*b.data, b.trainings + i, count);
            }
        } catch (const std::bad_alloc&) {
            b.fail(failing, failingCount, true, "not enough memory for a training's working vectors");
        } catch (const std::exception& e) {
            b.fail(failing, failingCount, false, e.what());
        } catch (...) {
            b.fail(failing, failingCount, false, "unknown exception");
        }
    }
}
}  // namespace

void runBatch(const DataMatrix& data, const Training* trainings, size_t count, int threads,
              TrainingRunner runTraining) {
    BatchWork b;
    b.data = &data;
    b.trainings = trainings;
    b.run = runTraining;
    const size_t wanted = static_cast<size_t>(threads > 1 ? threads : 1);
    // Work items: one training each; on sparse data, each run of alike
    // trainings, cut into as many pieces as keep every thread busy.
    std::vector<size_t> groupStarts;
    for (size_t i = 0; i < count; ++i)
        if (!data.isSparse || runTraining || i == 0 || !alike(trainings[i - 1], trainings[i]))
            groupStarts.push_back(i);
    groupStarts.push_back(count);
    const size_t groups = groupStarts.size() - 1;
    const size_t pieces = groups == 0 || groups >= wanted ? 1 : (wanted + groups - 1) / groups;
    for (size_t g = 0; g < groups; ++g) {
        const size_t first = groupStarts[g], size = groupStarts[g + 1] - first;
        const size_t cut = pieces < size ? pieces : size;
        for (size_t p = 0; p < cut; ++p) b.firsts.push_back(first + size * p / cut);
    }
    b.firsts.push_back(count);
    const size_t items = b.firsts.size() - 1;
    const int useful = static_cast<int>(items < wanted ? items : wanted);
    runOnThreads(useful > 1 ? useful : 1, work, &b);
    if (b.failed.load())
        throw BatchFailure(b.outOfMemory, b.failedTraining, b.failedCount, b.what);
}

}  // namespace pellumar
