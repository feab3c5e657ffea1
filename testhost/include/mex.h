/* Stand-in for the host's MEX interface: the gateway's signature and the
 * host's error call, which does not return (it unwinds to the host). */
#ifndef PELLUMAR_STANDIN_MEX_H
#define PELLUMAR_STANDIN_MEX_H

#include "matrix.h"

#ifdef _WIN32
#  ifdef PELLUMAR_STANDIN_BUILDING_MEX
#    define STANDIN_MEX_API __declspec(dllexport)
#  else
#    define STANDIN_MEX_API __declspec(dllimport)
#  endif
#  define MEX_EXPORT __declspec(dllexport)
#else
#  define STANDIN_MEX_API __attribute__((visibility("default")))
#  define MEX_EXPORT __attribute__((visibility("default")))
#endif

#ifdef __cplusplus
extern "C" {
#endif

MEX_EXPORT void mexFunction(int nlhs, mxArray* plhs[], int nrhs, const mxArray* prhs[]);

STANDIN_MEX_API void mexErrMsgIdAndTxt(const char* id, const char* format, ...)
#if defined(__GNUC__)
    __attribute__((noreturn, format(printf, 2, 3)))
#endif
    ;

#ifdef __cplusplus
}
#endif

#endif
