// The stand-in host's array library (libmx): arrays as plain structs with
// the class, shape and storage the module asks about.
#define PELLUMAR_STANDIN_BUILDING_MX
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "standin_host.h"

struct mxArray_tag {
    mxClassID cls;
    size_t m, n;
    bool sparse, complex;
    void* real;    // numel elements of the class, or the stored values when sparse
    void* imag;    // same size as real when complex
    size_t stored; // element count held in real (nonzeros when sparse)
    // Sparse: each value's row and each column's first value, as 64-bit
    // MATLAB holds them (size_t, whatever API a module is built for).
    std::vector<size_t> ir, jc;
};

namespace {
long live = 0;
size_t byteLimit = SIZE_MAX;
long refused = 0;

// An entry that 64-bit MATLAB keeps only to refuse it: the call is counted,
// then raises the host's error with MATLAB's own message.
[[noreturn]] void obsolete(const char* entry) {
    ++refused;
    throw standin::HostError(
        "standin:obsoleteEntry",
        std::string("Function \"") + entry +
            "\" is obsolete. (64-bit mex files using sparse matrices must be rebuilt with the "
            "\"-largeArrayDims\" option. See the R2006b release notes for more details.)");
}

size_t elementSize(mxClassID cls) {
    switch (cls) {
        case mxDOUBLE_CLASS: case mxINT64_CLASS: case mxUINT64_CLASS: return 8;
        case mxSINGLE_CLASS: case mxINT32_CLASS: case mxUINT32_CLASS: return 4;
        case mxINT16_CLASS: case mxUINT16_CLASS: case mxCHAR_CLASS: return 2;
        case mxINT8_CLASS: case mxUINT8_CLASS: case mxLOGICAL_CLASS: return 1;
        default: return 0;
    }
}

[[noreturn]] void outOfMemory() {
    throw standin::HostError("standin:outOfMemory", "stand-in host: out of memory");
}

// m*n, refusing shapes whose element count does not fit a size_t: no host
// could hold them.
size_t numelOf(size_t m, size_t n) {
    if (n != 0 && m > SIZE_MAX / n) outOfMemory();
    return m * n;
}

// An m x n array holding `stored` elements of the class.
mxArray* allocate(mxClassID cls, size_t m, size_t n, bool sparse, bool complex, size_t stored) {
    numelOf(m, n);
    const size_t size = elementSize(cls);
    if (size != 0 && stored > byteLimit / size) outOfMemory();
    const size_t bytes = stored * size;
    mxArray* a = new mxArray_tag{cls, m, n, sparse, complex, nullptr, nullptr, stored, {}, {}};
    if (bytes > 0) {
        a->real = std::calloc(stored, elementSize(cls));
        if (complex) a->imag = std::calloc(stored, elementSize(cls));
        if (!a->real || (complex && !a->imag)) {
            std::free(a->real);
            std::free(a->imag);
            delete a;
            outOfMemory();
        }
    }
    ++live;
    return a;
}

template <class V>
double first(const void* p) {
    V v;
    std::memcpy(&v, p, sizeof v);
    return static_cast<double>(v);
}
}  // namespace

namespace standin {

mxArray* makeArray(mxClassID cls, size_t m, size_t n, bool complex) {
    return allocate(cls, m, n, false, complex, numelOf(m, n));
}

mxArray* makeDouble(size_t m, size_t n, const double* values) {
    mxArray* a = allocate(mxDOUBLE_CLASS, m, n, false, false, numelOf(m, n));
    if (m * n > 0) std::memcpy(a->real, values, m * n * sizeof(double));
    return a;
}

mxArray* makeSparse(size_t m, size_t n, const double* nonzeros, size_t count) {
    mxArray* a = allocate(mxDOUBLE_CLASS, m, n, true, false, count);
    if (count > 0) std::memcpy(a->real, nonzeros, count * sizeof(double));
    // No row indices or column starts: only the values, for the module,
    // which refuses sparse data (the shapes tried are as large as a host
    // holds, and no list of columns is made for them). makeSparseColumns()
    // makes whole sparse matrices.
    return a;
}

mxArray* makeSparseColumns(size_t m, size_t n, const int* starts, const int* rows,
                           const double* values) {
    const size_t count = n > 0 ? static_cast<size_t>(starts[n]) : 0;
    mxArray* a = makeSparse(m, n, values, count);
    a->ir.assign(rows, rows + count);
    a->jc.assign(starts, starts + n + 1);
    return a;
}

long liveArrays() { return live; }

long refusedEntryCalls() { return refused; }

void setArrayByteLimit(size_t bytes) { byteLimit = bytes; }

void* dataOf(mxArray* a) { return a->real; }

}  // namespace standin

extern "C" {

bool mxIsSparse(const mxArray* a) { return a->sparse; }
bool mxIsDouble(const mxArray* a) { return a->cls == mxDOUBLE_CLASS; }
bool mxIsSingle(const mxArray* a) { return a->cls == mxSINGLE_CLASS; }
void* mxGetData(const mxArray* a) { return a->real; }
// 64-bit MATLAB refuses the 32-bit sparse entries for every array.
int* mxGetIr_700(const mxArray*) { obsolete("mxGetIr_700"); }
int* mxGetJc_700(const mxArray*) { obsolete("mxGetJc_700"); }
size_t* mxGetIr_730(const mxArray* a) { return a->sparse ? const_cast<size_t*>(a->ir.data()) : nullptr; }
size_t* mxGetJc_730(const mxArray* a) { return a->sparse ? const_cast<size_t*>(a->jc.data()) : nullptr; }
bool mxIsComplex(const mxArray* a) { return a->complex; }
bool mxIsLogical(const mxArray* a) { return a->cls == mxLOGICAL_CLASS; }
bool mxIsNumeric(const mxArray* a) {
    return a->cls >= mxDOUBLE_CLASS && a->cls <= mxUINT64_CLASS;
}
double* mxGetPr(const mxArray* a) {
    return a->cls == mxDOUBLE_CLASS ? static_cast<double*>(a->real) : nullptr;
}
size_t mxGetM(const mxArray* a) { return a->m; }
size_t mxGetN(const mxArray* a) { return a->n; }
size_t mxGetNumberOfElements(const mxArray* a) { return a->m * a->n; }

double mxGetScalar(const mxArray* a) {
    if (a->stored == 0 || a->real == nullptr) return 0.0;
    const void* p = a->real;
    switch (a->cls) {
        case mxDOUBLE_CLASS: return first<double>(p);
        case mxSINGLE_CLASS: return first<float>(p);
        case mxINT8_CLASS: return first<int8_t>(p);
        case mxUINT8_CLASS: return first<uint8_t>(p);
        case mxINT16_CLASS: return first<int16_t>(p);
        case mxUINT16_CLASS: return first<uint16_t>(p);
        case mxINT32_CLASS: return first<int32_t>(p);
        case mxUINT32_CLASS: return first<uint32_t>(p);
        case mxINT64_CLASS: return first<int64_t>(p);
        case mxUINT64_CLASS: return first<uint64_t>(p);
        case mxLOGICAL_CLASS: return first<uint8_t>(p) ? 1.0 : 0.0;
        case mxCHAR_CLASS: return first<uint16_t>(p);
        default: return 0.0;
    }
}

mxArray* mxCreateDoubleMatrix_700(int m, int n, mxComplexity complexity) {
    const size_t rows = m > 0 ? static_cast<size_t>(m) : 0, cols = n > 0 ? static_cast<size_t>(n) : 0;
    return allocate(mxDOUBLE_CLASS, rows, cols, false, complexity == mxCOMPLEX, numelOf(rows, cols));
}

mxArray* mxCreateDoubleMatrix_730(size_t m, size_t n, mxComplexity complexity) {
    return allocate(mxDOUBLE_CLASS, m, n, false, complexity == mxCOMPLEX, numelOf(m, n));
}

void mxDestroyArray(mxArray* a) {
    if (!a) return;
    std::free(a->real);
    std::free(a->imag);
    delete a;
    --live;
}

}  // extern "C"
