// The test side of the stand-in host: building input arrays, reading
// results, the host error that mexErrMsgIdAndTxt raises, and a loader that
// opens a built module file and calls its mexFunction as a host does.
#ifndef PELLUMAR_STANDIN_HOST_H
#define PELLUMAR_STANDIN_HOST_H

#include <stdexcept>
#include <string>
#include <vector>

#include "matrix.h"

namespace standin {

// What the host's error call raises; it unwinds through the module.
struct HostError : std::runtime_error {
    HostError(const std::string& id_, const std::string& message)
        : std::runtime_error(message), id(id_) {}
    std::string id;
};

// A zero-filled m x n array of any class (cells and structs hold nothing).
STANDIN_MX_API mxArray* makeArray(mxClassID cls, size_t m, size_t n, bool complex);
// A real double matrix holding values[0 .. m*n-1], column-major.
STANDIN_MX_API mxArray* makeDouble(size_t m, size_t n, const double* values);
// A sparse double matrix with the given stored values (their positions are
// of no concern to the module, which refuses sparse data).
STANDIN_MX_API mxArray* makeSparse(size_t m, size_t n, const double* nonzeros, size_t count);
// A sparse double matrix by columns: column f's values are
// values[starts[f] .. starts[f+1] - 1], in the rows rows[...].
STANDIN_MX_API mxArray* makeSparseColumns(size_t m, size_t n, const int* starts, const int* rows,
                                          const double* values);
// The raw storage of an array, for filling arrays of any class.
STANDIN_MX_API void* dataOf(mxArray* a);
// The most bytes one array may hold; creating a larger one raises the host
// error "standin:outOfMemory", as a host short of memory does. No limit by
// default.
STANDIN_MX_API void setArrayByteLimit(size_t bytes);
// Arrays created and not yet destroyed, inputs and outputs alike.
STANDIN_MX_API long liveArrays();
// Calls of entries that 64-bit MATLAB refuses (mxGetIr_700, mxGetJc_700),
// each of which raised the host's error: a module that makes one fails in
// MATLAB, whatever it does with the error.
STANDIN_MX_API long refusedEntryCalls();

inline mxArray* makeDouble(size_t m, size_t n, const std::vector<double>& values) {
    return makeDouble(m, n, values.data());
}
inline mxArray* makeScalar(double v) { return makeDouble(1, 1, &v); }
inline std::vector<double> valuesOf(const mxArray* a) {
    const double* p = mxGetPr(a);
    return std::vector<double>(p, p + mxGetNumberOfElements(a));
}

// One call of a module's mexFunction.
struct CallResult {
    std::vector<mxArray*> outputs;  // the output slots (at least one), null where unset
    bool failed = false;            // the module raised a host error
    std::string errorId, errorMessage;
    std::string printed;            // what the call wrote to standard output
};

class LoadedModule {
public:
    explicit LoadedModule(const std::string& path);
    ~LoadedModule();
    LoadedModule(const LoadedModule&) = delete;
    LoadedModule& operator=(const LoadedModule&) = delete;

    // Calls the module with the inputs; output arrays belong to the caller.
    CallResult call(int nlhs, const std::vector<const mxArray*>& inputs) const;

private:
    void* handle_ = nullptr;
    using Gateway = void (*)(int, mxArray**, int, const mxArray**);
    Gateway gateway_ = nullptr;
};

}  // namespace standin

#endif
