// Host entry point of the toolbox's engine: a batch of independent trainings
// on one data matrix, on worker threads. Only the toolbox calls it (it lives
// in the toolbox's private folder); users call pellumar_train,
// pellumar_search and pellumar_order.
//
//   W = pellumar_engine(X, classOf, positives, foldOf, runs, iterations, bias, threads)
//     X           M x N real double or single matrix, one sample per column,
//                 or a sparse real double one (trained in time proportional to
//                 its non-zeros)
//     classOf     N class numbers, one per sample
//     positives   K class numbers: classifier k takes +1 for class
//                 positives(k) and -1 for every other
//     foldOf      N fold numbers, or empty when every run trains on all samples
//     runs        4 x R: each column a run [fold; lambda; eta0; seed], trained
//                 on the samples whose fold is not `fold` (fold 0: all of them)
//     iterations  C x R: each run's checkpoints, ascending iteration counts
//     bias        true: a constant feature 1.0 after the M stored ones
//     threads     how many threads may run trainings at once
//   W is (M + bias) x (C*K*R): the average of run r, classifier k, after
//   checkpoint c is column c + C*(k + K*r) (counted from 0).
//
//   order = pellumar_engine(N, seed)
//     the 1 x N visiting order, 1-based, of a training on N samples.
//
//   S = pellumar_engine(W, columns, X, samples, bias)
//     the scores of the classifiers in W's columns `columns` (1-based) on
//     X's samples `samples` (1-based; empty: all of them), K x n for K
//     columns and n samples, read from W and X in place (scoreSamples(),
//     core/engine/scoring.h: the same bits on every host). W has M + bias rows.
//
// Every input is checked before any thread starts, and every size product
// before it is formed. The worker threads never call the host: they read
// the inputs and write the output's data area, created beforehand; failures
// are collected and raised here, on the host's thread, once every worker has
// stopped, naming the training that failed by its class, fold and setting
// as the caller passed them.
//
// The engine is built for the host's 64-bit array API (mex -largeArrayDims):
// sparse positions are mwIndex, 64 bits, so a sparse X may hold as many
// non-zeros as the host does. 64-bit MATLAB refuses the 32-bit API's sparse
// entries (mxGetIr_700, mxGetJc_700) outright.
#include "mex.h"

#ifdef MX_COMPAT_32
#error "pellumar_engine reads sparse arrays: build it with mex -largeArrayDims, not -compatibleArrayDims"
#endif

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <exception>
#include <new>
#include <vector>

#include "host_failure.h"
#include "engine/batch.h"
#include "engine/call_plan.h"
#include "engine/scoring.h"
#include "engine/seeded_order.h"
#include "engine/training_names.h"

namespace {

enum InputSlot { IN_X = 0, IN_CLASS, IN_POSITIVES, IN_FOLDS, IN_RUNS, IN_ITERATIONS, IN_BIAS,
                 IN_THREADS, IN_COUNT };
enum OrderSlot { IN_ORDER_N = 0, IN_ORDER_SEED, IN_ORDER_COUNT };
enum ScoreSlot { IN_SCORE_W = 0, IN_SCORE_COLUMNS, IN_SCORE_X, IN_SCORE_SAMPLES, IN_SCORE_BIAS,
                 IN_SCORE_COUNT };
using pellumar::RUN_FOLD;
using pellumar::RUN_LAMBDA;
using pellumar::RUN_ETA0;
using pellumar::RUN_SEED;
using pellumar::RUN_ROWS;
enum OutputSlot { OUT_W = 0 };

const double kTwoTo31 = 2147483648.0;
const double kSeedLimit = 9007199254740992.0;  // 2^53
const int kMostThreads = 1024;

[[noreturn]] void refuse(const char* what) {
    mexErrMsgIdAndTxt("pellumar:engineCall", "pellumar_engine: %s", what);
    throw 0;  // not reached: the host's error call does not return
}

bool isRealDenseDouble(const mxArray* a) {
    return mxIsDouble(a) && !mxIsComplex(a) && !mxIsSparse(a);
}

// A whole number from lowest up to, not including, limit (NaN is not). The
// comparisons are the quiet ones: the caller's thread may trap on the
// invalid operation that an ordinary < or >= raises for a NaN.
bool isWhole(double v, double lowest, double limit) {
    return std::isgreaterequal(v, lowest) && std::isless(v, limit) && v == std::floor(v);
}

const double* doubles(const mxArray* a, const char* what) {
    if (!isRealDenseDouble(a)) refuse(what);
    return mxGetPr(a);
}

// a*b, or the engineCall refusal `what` when the product does not fit a
// size_t.
size_t product(size_t a, size_t b, const char* what) {
    if (a != 0 && b > SIZE_MAX / a) refuse(what);
    return a * b;
}

double scalar(const mxArray* a, const char* what) {
    if (!(isRealDenseDouble(a) || mxIsLogical(a)) || mxGetNumberOfElements(a) != 1) refuse(what);
    return mxGetScalar(a);
}

// The samples X, with the bias feature when the switch bias is true, as the
// core reads them: the host's arrays in place.
pellumar::DataMatrix readData(const mxArray* Xa, const mxArray* biasSwitch) {
    const bool isSingle = mxIsSingle(Xa), isSparse = mxIsSparse(Xa);
    if (!(mxIsDouble(Xa) || (isSingle && !isSparse)) || mxIsComplex(Xa))
        refuse("X must be a real double or single matrix, or a real sparse double one");
    const size_t rows = mxGetM(Xa), cols = mxGetN(Xa);
    const double biasValue = scalar(biasSwitch, "bias must be true or false");
    if (biasValue != 0.0 && biasValue != 1.0) refuse("bias must be true or false");
    const bool bias = biasValue == 1.0;
    if (rows + (bias ? 1 : 0) > INT32_MAX || cols > INT32_MAX)
        mexErrMsgIdAndTxt("pellumar:tooLarge",
                          "X has %.0f rows and %.0f columns; at most 2147483647 features "
                          "(the bias included) and samples are supported.",
                          static_cast<double>(rows), static_cast<double>(cols));
    pellumar::DataMatrix data;
    if (isSparse) {
        // The values, their rows and the columns' starts, as the host holds
        // them: mwIndex, 64 bits in MATLAB's 64-bit API and in Octave built
        // with 64-bit indices (the default), 32 bits in other Octave builds.
        data.isSparse = true;
        data.sparse.values = mxGetPr(Xa);
        data.sparse.rows = mxGetIr(Xa);
        data.sparse.starts = mxGetJc(Xa);
        data.sparse.indexBytes = static_cast<int>(sizeof(mwIndex));
    } else if (isSingle)
        data.floats = static_cast<const float*>(mxGetData(Xa));
    else
        data.doubles = mxGetPr(Xa);
    data.M = static_cast<int32_t>(rows);
    data.N = static_cast<int32_t>(cols);
    data.bias = bias;
    return data;
}

// S = pellumar_engine(W, columns, X, samples, bias): the scores of the
// classifiers in W's columns `columns` on X's samples `samples`.
void scoreCall(mxArray* plhs[], const mxArray* prhs[]) {
    const double* W = doubles(prhs[IN_SCORE_W], "W must be a real double matrix");
    const size_t m = mxGetM(prhs[IN_SCORE_W]), wColumns = mxGetN(prhs[IN_SCORE_W]);
    const pellumar::DataMatrix data = readData(prhs[IN_SCORE_X], prhs[IN_SCORE_BIAS]);
    if (static_cast<size_t>(data.M) + (data.bias ? 1 : 0) != m)
        mexErrMsgIdAndTxt("pellumar:featureCount",
                          "X has %d features (rows) but the weights are for %.0f%s", data.M,
                          static_cast<double>(m - (data.bias ? 1 : 0)),
                          data.bias ? " (and the bias)" : "");
    const double* columns = doubles(prhs[IN_SCORE_COLUMNS], "columns must be a real double vector");
    const size_t K = mxGetNumberOfElements(prhs[IN_SCORE_COLUMNS]);
    if (K > INT32_MAX) refuse("too many columns to score");
    for (size_t k = 0; k < K; ++k)
        if (!isWhole(columns[k], 1.0, static_cast<double>(wColumns) + 1.0))
            refuse("columns must be whole numbers from 1 to the columns of W");
    const double* sampleList = doubles(prhs[IN_SCORE_SAMPLES], "samples must be a real double vector");
    const size_t listed = mxGetNumberOfElements(prhs[IN_SCORE_SAMPLES]);
    for (size_t i = 0; i < listed; ++i)
        if (!isWhole(sampleList[i], 1.0, static_cast<double>(data.N) + 1.0))
            refuse("samples must be whole numbers from 1 to the columns of X");
    const size_t count = listed > 0 ? listed : static_cast<size_t>(data.N);
    product(K, count, "too many scores for one call");
    mxArray* out = mxCreateDoubleMatrix(static_cast<mwSize>(K), static_cast<mwSize>(count), mxREAL);
    const gateway::Failure failure = gateway::catchFailure([&] {
        std::vector<const double*> weights(K);
        for (size_t k = 0; k < K; ++k) weights[k] = W + m * static_cast<size_t>(columns[k] - 1.0);
        std::vector<int32_t> samples(listed);
        for (size_t i = 0; i < listed; ++i) samples[i] = static_cast<int32_t>(sampleList[i] - 1.0);
        pellumar::scoreSamples(data, weights.data(), static_cast<int32_t>(K),
                               listed > 0 ? samples.data() : nullptr, static_cast<int32_t>(count),
                               mxGetPr(out));
    });
    char outOfMemory[128];
    std::snprintf(outOfMemory, sizeof outOfMemory,
                  "pellumar_engine: not enough memory to score %.0f samples", static_cast<double>(count));
    gateway::raiseFailure(failure, out, "pellumar", outOfMemory);
    plhs[OUT_W] = out;
}

void visitOrder(mxArray* plhs[], const mxArray* prhs[]) {
    const double n = scalar(prhs[IN_ORDER_N], "N must be a whole number below 2^31");
    const double seed = scalar(prhs[IN_ORDER_SEED], "the seed must be a whole number below 2^53");
    if (!isWhole(n, 0.0, kTwoTo31)) refuse("N must be a whole number below 2^31");
    if (!isWhole(seed, 0.0, kSeedLimit)) refuse("the seed must be a whole number below 2^53");
    const int32_t N = static_cast<int32_t>(n);
    mxArray* out = mxCreateDoubleMatrix(1, N, mxREAL);
    const gateway::Failure failure = gateway::catchFailure([&] {
        const std::vector<int32_t> order = pellumar::makeSeededOrder(N, static_cast<uint64_t>(seed));
        double* o = mxGetPr(out);
        for (int32_t p = 0; p < N; ++p) o[p] = order[p] + 1.0;
    });
    char outOfMemory[128];
    std::snprintf(outOfMemory, sizeof outOfMemory, "pellumar_order: not enough memory for %d indices", N);
    gateway::raiseFailure(failure, out, "pellumar", outOfMemory);
    plhs[OUT_W] = out;
}

}  // namespace

void mexFunction(int nlhs, mxArray* plhs[], int nrhs, const mxArray* prhs[]) {
    (void)nlhs;
    if (nrhs == IN_ORDER_COUNT) return visitOrder(plhs, prhs);
    if (nrhs == IN_SCORE_COUNT) return scoreCall(plhs, prhs);
    if (nrhs != IN_COUNT) refuse("expects 8 inputs (or 2 for a visiting order, 5 for scores)");

    const pellumar::DataMatrix data = readData(prhs[IN_X], prhs[IN_BIAS]);
    const size_t N = static_cast<size_t>(data.N);

    // Classes and classifiers.
    const double* classOf = doubles(prhs[IN_CLASS], "classOf must be a real double vector");
    if (mxGetNumberOfElements(prhs[IN_CLASS]) != N) refuse("classOf needs one class per sample");
    const double* positives = doubles(prhs[IN_POSITIVES], "positives must be a real double vector");
    const size_t K = mxGetNumberOfElements(prhs[IN_POSITIVES]);

    // Folds and runs.
    const double* foldOf = doubles(prhs[IN_FOLDS], "foldOf must be a real double vector");
    const size_t foldCount = mxGetNumberOfElements(prhs[IN_FOLDS]);
    if (foldCount != 0 && foldCount != N) refuse("foldOf needs one fold per sample, or none");
    for (size_t f = 0; f < foldCount; ++f)
        if (!isWhole(foldOf[f], 0.0, kTwoTo31)) refuse("folds must be whole numbers >= 0");
    const double* runs = doubles(prhs[IN_RUNS], "runs must be a real double matrix");
    if (mxGetM(prhs[IN_RUNS]) != RUN_ROWS && mxGetNumberOfElements(prhs[IN_RUNS]) != 0)
        refuse("runs must have 4 rows: fold, lambda, eta0, seed");
    const size_t R = mxGetNumberOfElements(prhs[IN_RUNS]) / RUN_ROWS;
    const double* iterations = doubles(prhs[IN_ITERATIONS], "iterations must be a real double matrix");
    const size_t C = R > 0 ? mxGetM(prhs[IN_ITERATIONS]) : 0;
    if (R > 0 && mxGetN(prhs[IN_ITERATIONS]) != R)
        refuse("iterations needs one column of checkpoints per run");
    const double threadsValue = scalar(prhs[IN_THREADS], "threads must be a whole number >= 1");
    if (!isWhole(threadsValue, 1.0, kTwoTo31)) refuse("threads must be a whole number >= 1");
    const int threads = threadsValue > kMostThreads ? kMostThreads : static_cast<int>(threadsValue);

    // Every run's numbers, and its samples (a fold's complement) counted.
    for (size_t r = 0; r < R; ++r) {
        const double* run = runs + r * RUN_ROWS;
        const double* counts = iterations + r * C;
        if (!isWhole(run[RUN_FOLD], 0.0, kTwoTo31)) refuse("a run's fold must be a whole number >= 0");
        if (run[RUN_FOLD] != 0.0 && foldCount == 0) refuse("a run leaves out a fold, but foldOf is empty");
        if (!isWhole(run[RUN_SEED], 0.0, kSeedLimit)) refuse("seeds must be whole numbers below 2^53");
        for (size_t c = 0; c < C; ++c) {
            if (!isWhole(counts[c], 0.0, kTwoTo31))
                mexErrMsgIdAndTxt("pellumar:tooManyIterations",
                                  "iteration counts must be whole numbers from 0 to 2147483647; "
                                  "got %g", counts[c]);
            if (c > 0 && counts[c] < counts[c - 1]) refuse("checkpoints must be ascending");
        }
        size_t n = N;
        if (run[RUN_FOLD] != 0.0)
            for (size_t f = 0; f < N; ++f) n -= foldOf[f] == run[RUN_FOLD] ? 1 : 0;
        if (n == 0 && C > 0 && counts[C - 1] >= 1)
            mexErrMsgIdAndTxt("pellumar:noSamples", "a training has no samples to train on");
    }
    const size_t m = static_cast<size_t>(data.M) + (data.bias ? 1 : 0);
    const size_t trainingCount = product(K, R, "too many trainings for one call");
    const size_t columns = product(C, trainingCount, "too many results for one call");
    if (columns > INT32_MAX) refuse("too many results for one call");
    product(K, N, "too many classifiers for the samples");  // the plan's labels
    mxArray* out = mxCreateDoubleMatrix(static_cast<mwSize>(m), static_cast<mwSize>(columns), mxREAL);
    double* W = mxGetPr(out);

    // The plan's lists live inside the work, so that they are gone before
    // any failure is raised (host_failure.h).
    const gateway::Failure failure = gateway::catchFailure(
        [&] {
            const pellumar::CallPlan plan(classOf, foldCount > 0 ? foldOf : nullptr, N, positives, K,
                                          runs, R, iterations, C, W, m);
            pellumar::runBatch(data, plan.trainings(), plan.size(), threads);
        },
        [&](const std::exception& e, gateway::Failure& f) {
            const pellumar::BatchFailure* batch = dynamic_cast<const pellumar::BatchFailure*>(&e);
            if (!batch) return gateway::internalFailure(e, f);
            f.kind = batch->outOfMemory() ? gateway::Failure::OUT_OF_MEMORY : gateway::Failure::INTERNAL;
            char which[300];
            pellumar::nameTrainings(batch->training(), batch->trainingCount(), K, positives, runs,
                                    which, sizeof which);
            std::snprintf(f.what, sizeof f.what, "%s: %s", which, batch->what());
        });
    gateway::raiseFailure(failure, out, "pellumar", "not enough memory to set up the trainings");
    plhs[OUT_W] = out;
}
