/* Stand-in for the host's array interface: only what Pellumar and the
 * toolbox's engine call, typed as MATLAB's own matrix.h types it in each of
 * its two array APIs.
 *
 *  - The 64-bit API (mex -largeArrayDims, which is also what mex's -R2017b
 *    default gives): mwSize and mwIndex are size_t, and the functions whose
 *    types depend on them are bound to their _730 entries of libmx. The
 *    toolbox's engine is built so.
 *  - The 32-bit compatible API (mex -compatibleArrayDims, which defines
 *    MX_COMPAT_32): mwSize and mwIndex are int, and those functions are bound
 *    to their _700 entries. The module Pellumar is built so: it creates its
 *    output with mxCreateDoubleMatrix_700 and reads no sparse array.
 *
 * The entries of both APIs are declared here under their own names, each
 * with the types of its API, so that the stand-in's libmx defines every one
 * of them whichever API a module is built for. 64-bit MATLAB refuses the
 * 32-bit sparse entries mxGetIr_700 and mxGetJc_700 (since R2006b; see
 * doc/HOST_API.md for the documentation behind each entry), and so does
 * the stand-in: they raise the host's error instead of returning data. */
#ifndef PELLUMAR_STANDIN_MATRIX_H
#define PELLUMAR_STANDIN_MATRIX_H

#include <stddef.h>

#ifdef _WIN32
#  ifdef PELLUMAR_STANDIN_BUILDING_MX
#    define STANDIN_MX_API __declspec(dllexport)
#  else
#    define STANDIN_MX_API __declspec(dllimport)
#  endif
#else
#  define STANDIN_MX_API __attribute__((visibility("default")))
#endif

#ifdef MX_COMPAT_32
typedef int mwSize;
typedef int mwIndex;
#else
typedef size_t mwSize;
typedef size_t mwIndex;
#endif

typedef enum { mxREAL = 0, mxCOMPLEX } mxComplexity;

typedef enum {
    mxUNKNOWN_CLASS = 0, mxCELL_CLASS, mxSTRUCT_CLASS, mxLOGICAL_CLASS, mxCHAR_CLASS,
    mxVOID_CLASS, mxDOUBLE_CLASS, mxSINGLE_CLASS, mxINT8_CLASS, mxUINT8_CLASS,
    mxINT16_CLASS, mxUINT16_CLASS, mxINT32_CLASS, mxUINT32_CLASS, mxINT64_CLASS,
    mxUINT64_CLASS, mxFUNCTION_CLASS
} mxClassID;

typedef struct mxArray_tag mxArray;

#ifdef __cplusplus
extern "C" {
#endif

/* The same in both APIs. */
STANDIN_MX_API bool mxIsSparse(const mxArray* a);
STANDIN_MX_API bool mxIsDouble(const mxArray* a);
STANDIN_MX_API bool mxIsSingle(const mxArray* a);
STANDIN_MX_API void* mxGetData(const mxArray* a);
STANDIN_MX_API bool mxIsComplex(const mxArray* a);
STANDIN_MX_API bool mxIsNumeric(const mxArray* a);
STANDIN_MX_API bool mxIsLogical(const mxArray* a);
STANDIN_MX_API double* mxGetPr(const mxArray* a);
STANDIN_MX_API size_t mxGetM(const mxArray* a);
STANDIN_MX_API size_t mxGetN(const mxArray* a);
STANDIN_MX_API size_t mxGetNumberOfElements(const mxArray* a);
STANDIN_MX_API double mxGetScalar(const mxArray* a);
STANDIN_MX_API void mxDestroyArray(mxArray* a);

/* The 32-bit compatible API's entries. The sparse ones raise the host's
 * error, as 64-bit MATLAB's do. */
STANDIN_MX_API mxArray* mxCreateDoubleMatrix_700(int m, int n, mxComplexity complexity);
STANDIN_MX_API int* mxGetIr_700(const mxArray* a);
STANDIN_MX_API int* mxGetJc_700(const mxArray* a);

/* The 64-bit API's entries. */
STANDIN_MX_API mxArray* mxCreateDoubleMatrix_730(size_t m, size_t n, mxComplexity complexity);
STANDIN_MX_API size_t* mxGetIr_730(const mxArray* a);
STANDIN_MX_API size_t* mxGetJc_730(const mxArray* a);

#ifdef __cplusplus
}
#endif

#ifdef MX_COMPAT_32
#define mxCreateDoubleMatrix mxCreateDoubleMatrix_700
#define mxGetIr mxGetIr_700
#define mxGetJc mxGetJc_700
#else
#define mxCreateDoubleMatrix mxCreateDoubleMatrix_730
#define mxGetIr mxGetIr_730
#define mxGetJc mxGetJc_730
#endif

#endif
