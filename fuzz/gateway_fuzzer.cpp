// libFuzzer target: arbitrary calls of mexFunction through the stand-in host.
//
// Each input decodes to 0..8 arguments of any class the stand-in models, any
// shape (empty ones and large claimed counts included), sparse and complex
// flags, and values drawn from the awkward ones (NaN, +-Inf, huge, negative,
// fractional, around 2^31). Every call must end in exactly one of:
//   - an M x 1 real double result in the first output slot (M = rows of X),
//   - a host error whose identifier starts with "Pellumar:" (or the host's
//     own out-of-memory error), with no output,
//   - the line "SGD sparse is not ready" on standard output, with no output,
// and must leave no array behind. Anything else aborts.
//
// Work per call is kept small so that the fuzzer can make many calls: at most
// 4096 elements per array (a larger claimed shape has an empty other
// dimension), and an iteration count below 2^31 is lowered so that the run
// makes at most about 2*10^5 element-iterations; counts of 2^31 and above,
// which are refused before any work, are kept. Integer-class counts are
// kept below 256.
#include <fcntl.h>
#include <fuzzer/FuzzedDataProvider.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <algorithm>
#include <string>
#include <vector>

#include "mex.h"
#include "standin_host.h"

namespace {

const mxClassID kClasses[] = {mxDOUBLE_CLASS, mxSINGLE_CLASS, mxINT8_CLASS,  mxUINT8_CLASS,
                              mxINT16_CLASS,  mxUINT16_CLASS, mxINT32_CLASS, mxUINT32_CLASS,
                              mxINT64_CLASS,  mxUINT64_CLASS, mxLOGICAL_CLASS, mxCHAR_CLASS,
                              mxCELL_CLASS,   mxSTRUCT_CLASS};

const double kAwkward[] = {0.0,   -0.0,   1.0,    -1.0,  0.5,      2.9,         -3.0,
                           NAN,   INFINITY, -INFINITY, 1e308, -1e308, 4.9e-324, 2147483647.0,
                           2147483648.0, -2147483649.0, 1e10, 0.9, 1e-3, 100.0};

const size_t kLargeDims[] = {2147483647u, 2147483648u, 4294967297u, 100000u};

const size_t kMaxElements = 4096;
const double kWorkBudget = 2e5;  // element-iterations per call

size_t bytesPerElement(mxClassID cls) {
    switch (cls) {
        case mxINT64_CLASS: case mxUINT64_CLASS: return 8;
        case mxSINGLE_CLASS: case mxINT32_CLASS: case mxUINT32_CLASS: return 4;
        case mxINT16_CLASS: case mxUINT16_CLASS: case mxCHAR_CLASS: return 2;
        default: return 1;
    }
}

size_t pickDim(FuzzedDataProvider& in) {
    if (in.ConsumeIntegralInRange(0, 15) == 0) return in.PickValueInArray(kLargeDims);
    return in.ConsumeIntegralInRange<size_t>(0, 12);
}

double pickValue(FuzzedDataProvider& in) {
    if (in.ConsumeBool()) return in.PickValueInArray(kAwkward);
    return in.ConsumeFloatingPoint<double>();
}

// rows: of the data matrix made for the first slot, for the work budget.
mxArray* makeInput(FuzzedDataProvider& in, int slot, size_t rows) {
    const mxClassID cls = in.PickValueInArray(kClasses);
    const bool sparse = in.ConsumeIntegralInRange(0, 7) == 0;
    const bool complex = in.ConsumeIntegralInRange(0, 7) == 0;
    size_t m = pickDim(in), n = pickDim(in);
    if (m != 0 && n != 0 && (m > kMaxElements || n > kMaxElements || m * n > kMaxElements))
        (in.ConsumeBool() ? m : n) = 0;

    const double most = std::floor(kWorkBudget / (static_cast<double>(rows) + 1.0));
    auto withinBudget = [&](double v) {
        return slot == 3 && v > most && v < 2147483648.0 ? most : v;
    };
    if (sparse) {
        std::vector<double> nonzeros(in.ConsumeIntegralInRange<size_t>(0, 4));
        for (double& v : nonzeros) v = withinBudget(pickValue(in));
        return standin::makeSparse(m, n, nonzeros.data(), nonzeros.size());
    }
    mxArray* a = standin::makeArray(cls, m, n, complex);
    unsigned char* data = static_cast<unsigned char*>(standin::dataOf(a));
    if (cls == mxDOUBLE_CLASS) {
        double* values = reinterpret_cast<double*>(data);
        for (size_t i = 0; i < m * n && in.remaining_bytes() > 0; ++i) {
            values[i] = i == 0 ? withinBudget(pickValue(in)) : pickValue(in);
        }
    } else if (data) {
        std::vector<unsigned char> bytes = in.ConsumeBytes<unsigned char>(in.ConsumeIntegralInRange<size_t>(0, 64));
        const size_t count = std::min(bytes.size(), m * n);  // the first bytes will do
        if (count > 0) std::memcpy(data, bytes.data(), count);
        if (slot == 3 && m * n > 0) {  // one low byte: a small count whatever the class
            const unsigned char low = data[0];
            std::memset(data, 0, bytesPerElement(cls));
            data[0] = low;
        }
    }
    return a;
}

// Standard output goes to a scratch file for the whole run, so that what each
// call prints can be read back from its offset.
int printedFd = -1;

size_t printedSoFar() {
    std::fflush(stdout);
    return static_cast<size_t>(lseek(printedFd, 0, SEEK_END));
}

std::string printedSince(size_t offset) {
    const size_t end = printedSoFar();
    std::string text(end - offset, '\0');
    if (!text.empty() && pread(printedFd, &text[0], text.size(), static_cast<off_t>(offset)) < 0)
        std::abort();
    return text;
}

void fail(const char* why) {
    std::fprintf(stderr, "gateway fuzzer: %s\n", why);
    std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    char path[] = "/tmp/pellumar-fuzz-stdout-XXXXXX";
    printedFd = mkstemp(path);
    if (printedFd < 0) return 0;
    unlink(path);
    std::fflush(stdout);
    dup2(printedFd, STDOUT_FILENO);
    standin::setArrayByteLimit(64u << 20);  // a host with little memory to spare
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* bytes, size_t size) {
    FuzzedDataProvider in(bytes, size);
    const int nrhs = in.ConsumeIntegralInRange(0, 8);
    const int nlhs = in.ConsumeIntegralInRange(0, 3);
    std::vector<mxArray*> inputs;
    try {
        for (int slot = 0; slot < nrhs; ++slot)
            inputs.push_back(makeInput(in, slot, slot == 0 ? 0 : mxGetM(inputs[0])));
    } catch (const standin::HostError&) {
        for (mxArray* a : inputs) mxDestroyArray(a);
        return 0;  // the host could not hold such an input: no call
    }
    const long liveBefore = standin::liveArrays();

    std::vector<mxArray*> outputs(nlhs > 1 ? nlhs : 1, nullptr);
    bool failed = false;
    std::string id;
    const size_t offset = printedSoFar();
    try {
        mexFunction(nlhs, outputs.data(), nrhs, const_cast<const mxArray**>(inputs.data()));
    } catch (const standin::HostError& e) {
        failed = true;
        id = e.id;
    }
    const std::string printed = printedSince(offset);

    for (size_t slot = 1; slot < outputs.size(); ++slot)
        if (outputs[slot]) fail("an output slot other than the first was written");
    mxArray* result = outputs[0];
    if (!printed.empty()) {
        if (printed != "SGD sparse is not ready\n") fail("unexpected text on standard output");
        if (failed || result) fail("the sparse refusal came with an error or a result");
        if (nrhs < 1 || !mxIsSparse(inputs[0])) fail("sparse refusal of a dense input");
    } else if (failed) {
        if (result) fail("an error left a result behind");
        if (id.rfind("Pellumar:", 0) != 0 && id != "standin:outOfMemory")
            fail(("unexpected error identifier " + id).c_str());
    } else {
        if (!result) fail("no result, no error, no refusal line");
        if (!mxIsDouble(result) || mxIsComplex(result) || mxGetN(result) != 1 ||
            mxGetM(result) != mxGetM(inputs[0]))
            fail("the result is not an M x 1 real double column");
        mxDestroyArray(result);
    }
    if (standin::liveArrays() != liveBefore) fail("the call left arrays behind");
    for (mxArray* a : inputs) mxDestroyArray(a);
    // Keep the scratch file small.
    if (printedSoFar() > (1u << 20)) {
        if (ftruncate(printedFd, 0) != 0) std::abort();
        lseek(printedFd, 0, SEEK_SET);
    }
    return 0;
}
