// How both gateways turn a failure inside the core into the host's error.
//
// No C++ exception may reach the host, and the host's error call must not run
// inside a C++ handler: it leaves the function by the host's own means, which
// may unwind past the handler. So the work runs inside catchFailure(), which
// only notes what went wrong, and raiseFailure() reports it afterwards, on the
// host's thread, outside every handler, once the work's own memory is gone.
#ifndef PELLUMAR_HOST_FAILURE_H
#define PELLUMAR_HOST_FAILURE_H

#include <cstdio>
#include <exception>
#include <new>

#include "mex.h"

namespace gateway {

struct Failure {
    enum Kind { NONE, OUT_OF_MEMORY, INTERNAL } kind = NONE;
    char what[600] = "";  // empty: the caller's words for running out of memory
};

// The exception's own account, for every std::exception but bad_alloc.
inline void internalFailure(const std::exception& e, Failure& f) {
    f.kind = Failure::INTERNAL;
    std::snprintf(f.what, sizeof f.what, "%s", e.what());
}

// work() run with every exception caught and noted. explain(e, failure)
// words a std::exception other than bad_alloc (internalFailure() by default).
template <class Work, class Explain>
Failure catchFailure(Work work, Explain explain) {
    Failure f;
    try {
        work();
    } catch (const std::bad_alloc&) {
        f.kind = Failure::OUT_OF_MEMORY;
    } catch (const std::exception& e) {
        explain(e, f);
    } catch (...) {
        f.kind = Failure::INTERNAL;
        std::snprintf(f.what, sizeof f.what, "unknown exception");
    }
    return f;
}

template <class Work>
Failure catchFailure(Work work) {
    return catchFailure(work, internalFailure);
}

// Raises f, if anything failed, as the host's error `<module>:outOfMemory` or
// `<module>:internal`, after destroying the unreturned output. outOfMemory:
// the message for running out of memory when f has none of its own.
inline void raiseFailure(const Failure& f, mxArray* output, const char* module,
                         const char* outOfMemory) {
    if (f.kind == Failure::NONE) return;
    mxDestroyArray(output);
    char id[64];
    if (f.kind == Failure::OUT_OF_MEMORY) {
        std::snprintf(id, sizeof id, "%s:outOfMemory", module);
        mexErrMsgIdAndTxt(id, "%s", f.what[0] ? f.what : outOfMemory);
    }
    std::snprintf(id, sizeof id, "%s:internal", module);
    mexErrMsgIdAndTxt(id, "Internal error: %s", f.what);
}

}  // namespace gateway

#endif
