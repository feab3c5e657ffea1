// Host entry point of Pellumar: w = Pellumar(X, y, lambda, T, eta0).
//
// Reads the five inputs, checks everything the training run would otherwise
// read blindly, creates the M x 1 output, trains into it and hands it back in
// the first output slot. A sparse data matrix gets one line on the process's
// standard output and no result.
#include "mex.h"

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <exception>
#include <new>

#include "host_failure.h"
#include "module/training.h"

namespace {

// Argument slots.
enum InputSlot { IN_X = 0, IN_Y, IN_LAMBDA, IN_T, IN_ETA0, IN_COUNT };
enum OutputSlot { OUT_W = 0 };

const char* const kSparseRefusal = "SGD sparse is not ready\n";
const double kTwoTo31 = 2147483648.0;

// A real dense double array: the only layout whose data mxGetPr() gives as
// one value per element.
bool isRealDenseDouble(const mxArray* a) {
    return mxIsDouble(a) && !mxIsComplex(a) && !mxIsSparse(a);
}

// A scalar parameter: read through its first element, so any non-empty
// numeric or logical array will do.
void checkScalar(const mxArray* a, const char* id, const char* name) {
    if (!(mxIsNumeric(a) || mxIsLogical(a)) || mxGetNumberOfElements(a) < 1)
        mexErrMsgIdAndTxt(id, "%s must be a non-empty numeric or logical value.", name);
}

// T as the training run counts it: truncated toward zero; NaN and anything
// below one run no iterations. Counts the 32-bit counter can't reach are
// refused by the caller before this is used. The comparisons here and there
// are the quiet ones: T may be NaN, and the caller's thread may trap on the
// invalid operation that an ordinary < or >= raises for it.
int32_t iterationCount(double T) {
    if (!std::isgreaterequal(T, 1.0)) return 0;
    return static_cast<int32_t>(T);
}

}  // namespace

void mexFunction(int nlhs, mxArray* plhs[], int nrhs, const mxArray* prhs[]) {
    (void)nlhs;  // the result goes to the first slot whatever was asked for
    if (nrhs >= 1 && mxIsSparse(prhs[IN_X])) {
        std::fputs(kSparseRefusal, stdout);
        std::fflush(stdout);
        return;
    }
    if (nrhs < IN_COUNT)
        mexErrMsgIdAndTxt("Pellumar:nargin",
                          "Expected 5 inputs, w = Pellumar(X, y, lambda, T, eta0); got %d.",
                          nrhs);

    const mxArray* Xa = prhs[IN_X];
    const mxArray* ya = prhs[IN_Y];
    if (!isRealDenseDouble(Xa))
        mexErrMsgIdAndTxt("Pellumar:badData",
                          "X must be a real double matrix (features by samples).");
    const size_t rows = mxGetM(Xa), cols = mxGetN(Xa);
    if (rows > INT32_MAX || cols > INT32_MAX)
        mexErrMsgIdAndTxt("Pellumar:tooLarge",
                          "X has %.0f rows and %.0f columns; at most 2147483647 of each "
                          "are supported.",
                          static_cast<double>(rows), static_cast<double>(cols));
    if (!isRealDenseDouble(ya))
        mexErrMsgIdAndTxt("Pellumar:badLabels",
                          "y must be a real, dense double vector of labels (+1 or -1).");
    if (mxGetNumberOfElements(ya) < cols)
        mexErrMsgIdAndTxt("Pellumar:labelCount",
                          "y has %.0f labels but X has %.0f samples; one label per column "
                          "of X is needed.",
                          static_cast<double>(mxGetNumberOfElements(ya)), static_cast<double>(cols));
    checkScalar(prhs[IN_LAMBDA], "Pellumar:badLambda", "lambda");
    checkScalar(prhs[IN_T], "Pellumar:badIterations", "T");
    checkScalar(prhs[IN_ETA0], "Pellumar:badStep", "eta0");

    const double lambda = mxGetScalar(prhs[IN_LAMBDA]);
    const double requestedT = mxGetScalar(prhs[IN_T]);
    const double eta0 = mxGetScalar(prhs[IN_ETA0]);
    if (std::isgreaterequal(requestedT, kTwoTo31))
        mexErrMsgIdAndTxt("Pellumar:tooManyIterations",
                          "T = %g iterations is more than the supported 2147483647.",
                          requestedT);
    const int32_t T = iterationCount(requestedT);
    const int32_t M = static_cast<int32_t>(rows);
    const int32_t N = static_cast<int32_t>(cols);
    if (N == 0 && T >= 1)
        mexErrMsgIdAndTxt("Pellumar:noSamples",
                          "X has no columns, so there is no sample to train on.");

    mxArray* w = mxCreateDoubleMatrix(M, 1, mxREAL);
    const gateway::Failure failure = gateway::catchFailure(
        [&] { pellumar::runTraining(mxGetPr(Xa), mxGetPr(ya), lambda, T, eta0, M, N, mxGetPr(w)); });
    char outOfMemory[128];
    std::snprintf(outOfMemory, sizeof outOfMemory,
                  "Not enough memory for the working vectors (M = %d, N = %d).", M, N);
    gateway::raiseFailure(failure, w, "Pellumar", outOfMemory);
    plhs[OUT_W] = w;
}
