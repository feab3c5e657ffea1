// A batch of independent trainings on one data matrix: the engine behind the
// toolbox's training and search functions.
#ifndef PELLUMAR_BATCH_H
#define PELLUMAR_BATCH_H

#include <cstddef>
#include <cstdint>
#include <stdexcept>

#include "sparse_run.h"

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

// Runs the trainings on up to `threads` threads (the caller's among them;
// fewer when there are fewer trainings or the system starts fewer), each
// training one sequential run on one thread, so that every result is the
// same bits whatever the number of threads. On sparse data, consecutive
// trainings that differ only in their labels run as groups (one read of each
// sample for the group; trainSparseGroupOnOrder()), cut into pieces when
// there are fewer groups than threads: the same bits again. The run of each training is
// given by runTraining; tests pass others (null: runOneTraining). After a
// failure no further training starts; the first failure is thrown as a
// BatchFailure once all threads have stopped, and nothing else escapes a
// thread.
typedef void (*TrainingRunner)(const DataMatrix&, const Training&);
void runBatch(const DataMatrix& data, const Training* trainings, size_t count, int threads,
              TrainingRunner runTraining = nullptr);

}  // namespace pellumar

#endif
