/* Stand-in for the host's array interface, as the host's 32-bit compatible
 * API declares it: 32-bit mwSize, and mxCreateDoubleMatrix bound to the
 * mxCreateDoubleMatrix_700 entry of libmx. Only what Pellumar calls. */
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

typedef int mwSize;
typedef int mwIndex;

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

STANDIN_MX_API bool mxIsSparse(const mxArray* a);
STANDIN_MX_API bool mxIsDouble(const mxArray* a);
STANDIN_MX_API bool mxIsSingle(const mxArray* a);
STANDIN_MX_API void* mxGetData(const mxArray* a);
STANDIN_MX_API mwIndex* mxGetIr_700(const mxArray* a);
STANDIN_MX_API mwIndex* mxGetJc_700(const mxArray* a);
STANDIN_MX_API bool mxIsComplex(const mxArray* a);
STANDIN_MX_API bool mxIsNumeric(const mxArray* a);
STANDIN_MX_API bool mxIsLogical(const mxArray* a);
STANDIN_MX_API double* mxGetPr(const mxArray* a);
STANDIN_MX_API size_t mxGetM(const mxArray* a);
STANDIN_MX_API size_t mxGetN(const mxArray* a);
STANDIN_MX_API size_t mxGetNumberOfElements(const mxArray* a);
STANDIN_MX_API double mxGetScalar(const mxArray* a);
STANDIN_MX_API mxArray* mxCreateDoubleMatrix_700(int m, int n, mxComplexity complexity);
STANDIN_MX_API void mxDestroyArray(mxArray* a);

#ifdef __cplusplus
}
#endif

#define mxCreateDoubleMatrix mxCreateDoubleMatrix_700
/* A sparse matrix's row indices and column starts as 32-bit mwIndex: the
 * compatible API's own entries, as the host's matrix.h binds them. */
#define mxGetIr mxGetIr_700
#define mxGetJc mxGetJc_700

#endif
