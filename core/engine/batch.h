// A batch of independent trainings on one data matrix: the engine behind the
// toolbox's training and search functions.
#ifndef PELLUMAR_BATCH_H
#define PELLUMAR_BATCH_H

#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <vector>

#include "sparse/sparse_run.h"

namespace pellumar {

// The samples of a batch: M x N, column after column, of doubles or of
// floats (read as the doubles they convert to), or sparse. With bias, every
// sample has one more feature after its M stored ones, 1.0, never stored.
struct DataMatrix {
    const double* doubles = nullptr;
    const float* floats = nullptr;  // used when doubles is null
    bool isSparse = false;
    SparseColumns sparse;           // used when isSparse
    int32_t M = 0, N = 0;
    bool bias = false;
};

// One training: the module's run on the samples it is given, visited in the
// order that its seed gives them (makeSeededOrder() on their number, mapped
// to their columns), averaged after each checkpoint.
struct Training {
    const double* labels = nullptr;   // N labels, one per column of the matrix
    const int32_t* samples = nullptr;  // its columns, ascending; null: all N
    int32_t sampleCount = 0;           // when samples is given
    uint64_t seed = 0;                 // below kSeedLimit
    double lambda = 0.0, eta0 = 0.0;
    const int32_t* checkpoints = nullptr;  // ascending iteration counts
    int32_t checkpointCount = 0;
    double* out = nullptr;  // (M + bias) x checkpointCount, column after column
};

// The columns the training visits: order[t mod n] at iteration t, n being
// its number of samples.
// Throws std::invalid_argument when it asks for iterations on no samples.
void trainingOrder(const DataMatrix& data, const Training& training, int32_t* order);

// One training on the calling thread. Throws std::invalid_argument for
// iterations on no samples, std::bad_alloc when memory runs out.
void runOneTraining(const DataMatrix& data, const Training& training);

// The first failure of a batch, raised once every thread has stopped. It
// names the trainings that failed together: trainings training() to
// training() + trainingCount() - 1 of the batch, one training unless a group
// of alike trainings on sparse data failed as a whole.
class BatchFailure : public std::runtime_error {
public:
    BatchFailure(bool outOfMemory, size_t training, size_t trainingCount, const char* what)
        : std::runtime_error(what), outOfMemory_(outOfMemory), training_(training),
          trainingCount_(trainingCount) {}
    bool outOfMemory() const { return outOfMemory_; }
    size_t training() const { return training_; }
    size_t trainingCount() const { return trainingCount_; }

private:
    bool outOfMemory_;
    size_t training_, trainingCount_;
};

// How a batch is shared among threads: work item i is trainings firsts[i]
// to firsts[i+1] - 1, run in turn by one thread, and `threads` threads (the
// caller's among them) take the items one after another.
struct BatchPlan {
    std::vector<size_t> firsts;
    int threads = 1;
};

// The estimated work, in nanoseconds of one core, below which runBatch()
// starts no further thread: starting one takes tens of microseconds, and
// hundreds before it runs when the other cores are busy, so that on smaller
// batches a second thread gained nothing or lost time.
constexpr double kLeastWorkPerThread = 500e3;

// The plan of runBatch(): every training an item of its own, except, on
// sparse data when grouped, each run of consecutive trainings that differ
// only in their labels, which is cut into as many items as the sparse run
// reads the samples for it (one per sixteen trainings; a run of sixteen or
// fewer stays one item), so that the threads together never read a sample
// more often than one thread does. At most `threads` threads, no more than
// there are items, and no more than give each at least leastWorkPerThread
// of the batch's estimated work (0: no such limit).
BatchPlan planBatch(const DataMatrix& data, const Training* trainings, size_t count, int threads,
                    bool grouped = true, double leastWorkPerThread = kLeastWorkPerThread);

// Runs the trainings on the threads of planBatch(), the caller's among them
// (and never more than the processors the calling thread may run on, where
// the system says; fewer if the system starts fewer), each training one
// sequential run on one thread, so that every result is the same bits
// whatever the number of threads. On sparse data, consecutive trainings that
// differ only in their labels run as groups (one read of each sample for up
// to sixteen of them; trainSparseGroupOnOrder()): the same bits again. The
// run of each training is given by runTraining; tests pass others (null:
// runOneTraining; with another, every training runs alone and the estimate
// does not limit the threads). After a failure no further training starts; the first failure
// is thrown as a BatchFailure once all threads have stopped, and nothing
// else escapes a thread.
typedef void (*TrainingRunner)(const DataMatrix&, const Training&);
void runBatch(const DataMatrix& data, const Training* trainings, size_t count, int threads,
              TrainingRunner runTraining = nullptr,
              double leastWorkPerThread = kLeastWorkPerThread);

}  // namespace pellumar

#endif
