#include "platform/exact_arithmetic.h"  // before everything else (see there)

#include "engine/batch.h"

#include <atomic>
#include <cstdio>
#include <new>
#include <string>
#include <vector>

#include "platform/ieee_modes.h"
#include "engine/seeded_order.h"
#include "sparse/sparse_run.h"
#include "run/train_on_order.h"
#include "engine/worker_threads.h"

#if defined(_WIN32)
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#elif defined(__linux__)
#include <sched.h>
#endif

namespace pellumar {

void trainingOrder(const DataMatrix& data, const Training& training, int32_t* order) {
    const int32_t n = training.samples ? training.sampleCount : data.N;
    const std::vector<int32_t> positions = makeSeededOrder(n, training.seed);
    for (int32_t p = 0; p < n; ++p)
        order[p] = training.samples ? training.samples[positions[p]] : positions[p];
}

namespace {
// The training's number of samples; throws std::invalid_argument when it asks
// for iterations on none.
int32_t samplesToVisit(const DataMatrix& data, const Training& training) {
    const int32_t n = training.samples ? training.sampleCount : data.N;
    const int32_t T = training.checkpointCount > 0
                          ? training.checkpoints[training.checkpointCount - 1] : 0;
    if (n < 1 && T >= 1)
        throw std::invalid_argument("a training asks for " + std::to_string(T) +
                                    " iterations on no samples");
    return n;
}
}  // namespace

void runOneTraining(const DataMatrix& data, const Training& training) {
    const int32_t n = samplesToVisit(data, training);
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
// The sparse run serves up to this many alike trainings with one read of
// each sample (trainSparseGroupOnOrder()), and more with one read for each
// as many: pieces of this size cost the threads no read that one thread
// would not make (so it must not exceed the run's own group size, kGroupSize
// in sparse_run.cpp).
constexpr size_t kSparseGroup = 16;

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
    const int32_t n = samplesToVisit(data, first);
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

namespace {
// A rough time of a work item on one core, in nanoseconds (the figures
// come from one machine; doc/PERFORMANCE.md, "Threads"): per
// iteration, a fixed part and a part per feature (dense) or per non-zero
// read and classifier trained (sparse; its classifiers share the read), and
// the weights set up and written out at each checkpoint. It decides only how
// many threads are worth starting, never what is computed.
double estimatedWork(const DataMatrix& data, const Training* item, size_t count, bool together) {
    const double m = static_cast<double>(data.M) + (data.bias ? 1.0 : 0.0);
    double perSample = m;
    if (data.isSparse) {
        const double nonZeros =
            data.N < 1 ? 0.0
            : data.sparse.indexBytes == 4
                ? static_cast<double>(static_cast<const uint32_t*>(data.sparse.starts)[data.N])
                : static_cast<double>(static_cast<const uint64_t*>(data.sparse.starts)[data.N]);
        perSample = nonZeros / data.N + (data.bias ? 1.0 : 0.0);
    }
    double work = 0.0;
    for (size_t k = 0; k < count; ++k) {
        const Training& t = item[k];
        const double T = t.checkpointCount > 0 ? t.checkpoints[t.checkpointCount - 1] : 0.0;
        work += m * (2.0 + t.checkpointCount);  // weights zeroed and written out
        if (!data.isSparse)
            work += T * (8.0 + 0.5 * perSample);
        else if (!together || k == 0)
            work += T * (10.0 + 2.0 * perSample);  // the sample read
        if (data.isSparse) work += T * perSample;  // this classifier's share
    }
    return work;
}

// How many processors the calling thread may run on (its affinity), or 0
// where the system does not say: threads beyond them would only take turns.
int processorsAllowed() {
#if defined(_WIN32)
    DWORD_PTR process = 0, system = 0;
    if (!GetProcessAffinityMask(GetCurrentProcess(), &process, &system)) return 0;
    int n = 0;
    for (; process != 0; process &= process - 1) ++n;  // 0 when it spans processor groups
    return n;
#elif defined(__linux__) && defined(CPU_COUNT)
    cpu_set_t set;
    CPU_ZERO(&set);
    if (sched_getaffinity(0, sizeof set, &set) != 0) return 0;  // more than CPU_SETSIZE
    return CPU_COUNT(&set);
#else
    return 0;
#endif
}
}  // namespace

BatchPlan planBatch(const DataMatrix& data, const Training* trainings, size_t count, int threads,
                    bool grouped, double leastWorkPerThread) {
    // The estimate computes in doubles on the caller's thread, whose modes
    // may trap on an inexact quotient: the IEEE defaults meanwhile.
    const IeeeDefaultModes ieeeModes;
    const size_t wanted = static_cast<size_t>(threads > 1 ? threads : 1);
    // Runs of alike trainings on sparse data when grouped; otherwise every
    // training on its own.
    std::vector<size_t> groupStarts;
    for (size_t i = 0; i < count; ++i)
        if (!grouped || !data.isSparse || i == 0 || !alike(trainings[i - 1], trainings[i]))
            groupStarts.push_back(i);
    groupStarts.push_back(count);
    const size_t groups = groupStarts.size() - 1;
    // Each run cut into as many pieces as the sparse run reads the samples
    // for it on one thread, one per kSparseGroup trainings, and no more: a
    // piece reads every sample, so more pieces would make the threads read
    // more than one thread does, and take longer than it whenever they do not
    // have a core each. Where the pieces are no more than the threads, each
    // thread has at most one, and they are cut to even sizes; otherwise into
    // full groups and the rest last, so that the threads take the larger
    // pieces first.
    size_t pieces = 0;
    for (size_t g = 0; g < groups; ++g)
        pieces += (groupStarts[g + 1] - groupStarts[g] + kSparseGroup - 1) / kSparseGroup;
    const bool even = pieces <= wanted;
    BatchPlan plan;
    for (size_t g = 0; g < groups; ++g) {
        const size_t first = groupStarts[g], size = groupStarts[g + 1] - first;
        const size_t cut = (size + kSparseGroup - 1) / kSparseGroup;
        for (size_t p = 0; p < cut; ++p)
            plan.firsts.push_back(first + (even ? size * p / cut : kSparseGroup * p));
    }
    plan.firsts.push_back(count);
    const size_t items = plan.firsts.size() - 1;
    size_t useful = items < wanted ? items : wanted;
    // A thread takes tens of microseconds to start, and hundreds before it
    // runs when the other cores are busy: each one must have enough work to
    // gain more than that.
    if (leastWorkPerThread > 0.0 && useful > 1) {
        double work = 0.0;
        for (size_t i = 0; i < items; ++i)
            work += estimatedWork(data, trainings + plan.firsts[i], plan.firsts[i + 1] - plan.firsts[i],
                                  grouped && data.isSparse);
        const double worth = work / leastWorkPerThread;
        if (worth < static_cast<double>(useful)) useful = static_cast<size_t>(worth);
    }
    plan.threads = static_cast<int>(useful > 1 ? useful : 1);
    return plan;
}

void runBatch(const DataMatrix& data, const Training* trainings, size_t count, int threads,
              TrainingRunner runTraining, double leastWorkPerThread) {
    BatchWork b;
    b.data = &data;
    b.trainings = trainings;
    b.run = runTraining;
    const int allowed = processorsAllowed();
    if (allowed > 0 && threads > allowed) threads = allowed;
    // Another runner's cost is not known: its trainings run alone, on every
    // thread asked for.
    const BatchPlan plan = runTraining ? planBatch(data, trainings, count, threads, false, 0.0)
                                       : planBatch(data, trainings, count, threads, true,
                                                   leastWorkPerThread);
    b.firsts = plan.firsts;
    runOnThreads(plan.threads, work, &b);
    if (b.failed.load())
        throw BatchFailure(b.outOfMemory, b.failedTraining, b.failedCount, b.what);
}

}  // namespace pellumar
