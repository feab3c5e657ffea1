// The iterations of a run, each one pass over the features, compiled for
// each vector path.
#ifndef PELLUMAR_FUSED_PASS_H
#define PELLUMAR_FUSED_PASS_H

#include <cstddef>
#include <cstdint>

namespace pellumar {

// The next sample's dot product with the updated weights, summed in lanes
// (not in index order), and the sum of the magnitudes of its terms.
struct DotEstimate {
    double dot = 0.0, absSum = 0.0;
};

// The same pass compiled for several instruction sets. Every build has the
// portable pass (one feature at a time); GCC and clang builds add vector
// passes for the machine they target: SSE2 (baseline x86-64), AVX2 and
// AVX-512F on x86-64, Advanced SIMD on 64-bit ARM. All give identical bits.
enum class VectorPath { Portable, Sse2, Avx2, Avx512, Neon };

// The paths compiled into this build, narrowest first, whether or not this
// processor can run them (a view of a fixed list: nothing is allocated).
struct VectorPaths {
    const VectorPath* first;
    const VectorPath* last;
    const VectorPath* begin() const { return first; }
    const VectorPath* end() const { return last; }
};
VectorPaths vectorPathsBuilt();
// The path is built in and its instructions are there on this processor and
// enabled by the system.
bool vectorPathAvailable(VectorPath path);
// The widest path this processor runs.
VectorPath bestVectorPath();
const char* vectorPathName(VectorPath path);
// Up to how many features the path holds the weights in registers for the
// whole run (register_run.h): short columns, where the path's own speed,
// not memory, sets the pace.
int64_t registerFeatures(VectorPath path);

// A run between two of its iterations: its inputs, its working vectors and
// what the next iteration needs. Constructed ready for iteration 1 on
// working vectors of zeros (N >= 1).
//
// With bias, every sample has one more feature after its M stored ones, of
// value 1.0, that is never stored: the run is that on the matrix with a row
// of ones appended, bit for bit, and w and wbar hold M + 1 weights, the
// bias weight last.
struct RunState {
    RunState(const double* X, const double* y, double lambda, double eta0, int32_t T, int64_t M,
             int32_t N, const int32_t* order, double* w, double* wbar, bool bias = false);

    const double* X;  // M x N, column after column
    const double* y;
    double lambda, eta0;
    int32_t T;
    int64_t M;  // stored features of a column
    int32_t N;
    const int32_t* order;
    bool bias;  // a constant feature 1.0 after the M stored ones
    double* w;     // current weights
    double* wbar;  // mean of the weights so far
    int32_t ahead;  // how many samples ahead a column is fetched (samplesAhead)
    // Positions t mod N, (t+1) mod N and (t+ahead) mod N in the order for the
    // coming iteration t, stepped along instead of divided out each time.
    int32_t now, next, later;
    DotEstimate estimate;       // w.x for the coming sample, from the last pass
    bool haveEstimate = false;  // none before the first iteration

    const double* column(int32_t f) const { return X + static_cast<ptrdiff_t>(f) * M; }
};

// Runs iterations tFirst, tFirst+1, ..., tLast (1 <= tFirst <= tLast <= T)
// on the given path. The whole loop is compiled for each path, so that the
// pass, the margin decision and the step numbers share one function.
void runIterations(VectorPath path, RunState& run, int32_t tFirst, int32_t tLast);

}  // namespace pellumar

#endif
