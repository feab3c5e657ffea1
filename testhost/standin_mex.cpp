// The stand-in host's MEX library (libmex): the error call raises a
// HostError that unwinds through the module back to the loader.
#define PELLUMAR_STANDIN_BUILDING_MEX
#include <cstdarg>
#include <cstdio>

#include "mex.h"
#include "standin_host.h"

extern "C" void mexErrMsgIdAndTxt(const char* id, const char* format, ...) {
    char message[1024];
    va_list args;
    va_start(args, format);
    std::vsnprintf(message, sizeof message, format, args);
    va_end(args);
    throw standin::HostError(id ? id : "", message);
}
