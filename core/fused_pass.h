// One iteration's work on the weights, in a single pass over the features.
#ifndef PELLUMAR_FUSED_PASS_H
#define PELLUMAR_FUSED_PASS_H

#include <cstdint>

namespace pellumar {

// The per-iteration numbers the pass applies to every feature k:
//   g      = below ? -(y*x[k]) : +0.0
//   w[k]    = decay*w[k] - step*g
//   wbar[k] = (previous*wbar[k] + w[k]) / tD
struct StepNumbers {
    double y, step, decay, previous, tD;
    bool below;  // the sample's margin was below 1.0
};

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

// Updates w and wbar for one iteration on sample column x and, when xNext is
// given, estimates w.xNext with the new w. xAfter, when given, is a column a
// few samples later: it is fetched into cache along the way. Every element of
// w and wbar gets exactly the operations above, on every path.
DotEstimate fusedPass(VectorPath path, double* w, double* wbar, const double* x,
                      const double* xNext, const double* xAfter, int64_t M,
                      const StepNumbers& s);

}  // namespace pellumar

#endif
