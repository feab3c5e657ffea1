// Runs a built module file through the stand-in host as a host would: loads
// it (Pellumar.mexw64 under Windows or Wine, Pellumar.mexa64 on Linux), calls
// mexFunction and checks the results bit for bit. Prints "N passed, N failed";
// exits non-zero on failure.
#include <cmath>
#include <csignal>
#include <cstdio>
#include <ctime>
#include <string>
#include <vector>

#include "standin_host.h"
#include "support/ieee_environments.h"
#include "support/nan_cases.h"
#include "support/reference_trainer.h"

#if defined(__x86_64__) || defined(_M_X64)
#define CHECK_CALLER_MODES 1
#ifdef _WIN32
#include <windows.h>
#else
#include <ucontext.h>
#endif
#endif

namespace {

int passed = 0, failed = 0;

void check(bool ok, const std::string& what) {
    if (ok) {
        ++passed;
    } else {
        ++failed;
        std::printf("FAILED: %s\n", what.c_str());
    }
}

bool sameBits(const std::vector<double>& a, const std::vector<double>& b) {
    if (a.size() != b.size()) return false;
    for (size_t k = 0; k < a.size(); ++k)
        if (reference::bitsOf(a[k]) != reference::bitsOf(b[k])) return false;
    return true;
}

struct Inputs {
    std::vector<mxArray*> arrays;
    ~Inputs() {
        for (mxArray* a : arrays) mxDestroyArray(a);
    }
    std::vector<const mxArray*> view() const { return {arrays.begin(), arrays.end()}; }
};

Inputs problem(size_t M, size_t N, const std::vector<double>& X, const std::vector<double>& y,
               double lambda, double T, double eta0) {
    Inputs in;
    in.arrays = {standin::makeDouble(M, N, X), standin::makeDouble(1, N, y),
                 standin::makeScalar(lambda), standin::makeScalar(T), standin::makeScalar(eta0)};
    return in;
}

std::vector<double> result(const standin::CallResult& r) {
    if (r.failed || !r.outputs[0]) return {};
    std::vector<double> w = standin::valuesOf(r.outputs[0]);
    mxDestroyArray(r.outputs[0]);
    return w;
}

// A run against the reference on the order that the C library's generator
// gives for the clock second of the call.
void checkOnClockOrder(const standin::LoadedModule& module, const std::string& what, size_t M,
                       size_t N, const std::vector<double>& X, const std::vector<double>& y,
                       double lambda, int32_t T, double eta0) {
    for (int attempt = 0; attempt < 20; ++attempt) {
        Inputs in = problem(M, N, X, y, lambda, T, eta0);
        const time_t before = std::time(nullptr);
        const std::vector<double> got = result(module.call(1, in.view()));
        if (std::time(nullptr) != before) continue;
#ifdef _WIN32
        // The Windows C runtime's generator, written out rather than called,
        // so that the module is checked against it and not against itself.
        const auto order = reference::shuffledOrderWith(
            reference::WindowsRand(static_cast<unsigned>(static_cast<uint32_t>(before))),
            static_cast<int32_t>(N));
#else
        const auto order = reference::shuffledOrder(
            static_cast<unsigned>(static_cast<uint32_t>(before)), static_cast<int32_t>(N));
#endif
        check(sameBits(got, reference::train(X, y, lambda, T, eta0, M, N, order)),
              what + ": against the reference on the C library's order");
        return;
    }
    check(false, what + ": the clock second changed during every attempt");
}

#ifdef CHECK_CALLER_MODES
// A floating-point trap is noted and the faulting instruction run again with
// every exception masked, so that the check reports it and goes on.
volatile std::sig_atomic_t trapped = 0;
constexpr unsigned kAllMasked = 0x1F80;
#ifdef _WIN32
LONG CALLBACK noteTrap(EXCEPTION_POINTERS* e) {
    const DWORD code = e->ExceptionRecord->ExceptionCode;
    if (!((code >= 0xC000008D && code <= 0xC0000093) || code == 0xC00002B4 || code == 0xC00002B5))
        return EXCEPTION_CONTINUE_SEARCH;
    trapped = 1;
    e->ContextRecord->MxCsr |= kAllMasked;
    e->ContextRecord->FltSave.MxCsr |= kAllMasked;
    e->ContextRecord->FltSave.ControlWord |= 0x3F;
    return EXCEPTION_CONTINUE_EXECUTION;
}
void catchTraps() { AddVectoredExceptionHandler(1, noteTrap); }
#else
void noteTrap(int, siginfo_t*, void* context) {
    trapped = 1;
    static_cast<ucontext_t*>(context)->uc_mcontext.fpregs->mxcsr |= kAllMasked;
}
void catchTraps() {
    struct sigaction action = {};
    action.sa_sigaction = noteTrap;
    action.sa_flags = SA_SIGINFO;
    sigaction(SIGFPE, &action, nullptr);
}
#endif

// The module under each caller environment against the module in the IEEE
// default, on the order of one clock second: same bits, no trap, the
// caller's modes given back.
void checkCallerModes(const standin::LoadedModule& module) {
    catchTraps();
    for (const ieee::Problem& p : ieee::problems()) {
        for (const ieee::Modes& modes : ieee::environments()) {
            const std::string what = p.name + std::string(" under ") + ieee::describe(modes);
            bool compared = false;
            for (int attempt = 0; attempt < 20 && !compared; ++attempt) {
                Inputs in = problem(p.M, p.N, p.X, p.y, p.lambda, p.T, p.eta0);
                const time_t second = std::time(nullptr);
                const std::vector<double> want = result(module.call(1, in.view()));
                trapped = 0;
                ieee::set(modes);
                const ieee::Modes before = ieee::current();
                const std::vector<double> got = result(module.call(1, in.view()));
                const ieee::Modes after = ieee::current();
                ieee::set(ieee::Modes{});
                if (std::time(nullptr) != second) continue;
                compared = true;
                check(!trapped, what + ": no trap");
                check(after == before, what + ": modes given back, found " + ieee::describe(after));
                check(!want.empty() && sameBits(got, want), what + ": default bits");
            }
            check(compared, what + ": the clock second changed during every attempt");
        }
    }
    // A NaN iteration count is compared quietly before the run starts.
    Inputs in = problem(2, 1, {1.0, 2.0}, {1.0}, 0.5, std::nan(""), 0.1);
    trapped = 0;
    ieee::Modes invalidTraps;
    invalidTraps.traps = FE_INVALID;
    ieee::set(invalidTraps);
    const std::vector<double> w = result(module.call(1, in.view()));
    ieee::set(ieee::Modes{});
    check(!trapped && sameBits(w, {0.0, 0.0}), "T = NaN with the invalid trap enabled");
}
#endif

}  // namespace

int main(int argc, char** argv) {
#ifdef _WIN32
    const std::string path = argc > 1 ? argv[1] : "Pellumar.mexw64";
#else
    const std::string path = argc > 1 ? argv[1] : "./Pellumar.mexa64";
#endif
    standin::LoadedModule module(path);

    // The worked example.
    const std::vector<std::vector<double>> expected = {
        {0.1, 0.2},
        {0.13358757210636102, 0.26717514421272204},
        {0.16241979487291838, 0.32483958974583677}};
    for (int T = 1; T <= 3; ++T) {
        Inputs in = problem(2, 1, {1.0, 2.0}, {1.0}, 0.5, T, 0.1);
        check(sameBits(result(module.call(1, in.view())), expected[T - 1]),
              "worked example T = " + std::to_string(T));
    }

    // The sparse refusal line, and a refusal with an identifier.
    {
        const double nz = 1.0;
        mxArray* sparse = standin::makeSparse(2, 2, &nz, 1);
        const standin::CallResult r = module.call(0, {sparse});
        check(!r.failed && r.outputs[0] == nullptr && r.printed == "SGD sparse is not ready\n",
              "sparse refusal line, got \"" + r.printed + "\"");
        mxDestroyArray(sparse);
    }
    {
        Inputs in = problem(2, 1, {1.0, 2.0}, {1.0}, 0.5, 1e10, 0.1);
        const standin::CallResult r = module.call(1, in.view());
        check(r.failed && r.errorId == "Pellumar:tooManyIterations" && r.outputs[0] == nullptr,
              "T = 1e10 refused, got id \"" + r.errorId + "\"");
    }

    // A multi-sample run against the reference.
    // N > 32767: shuffle draws take two rand() calls; M spans full vector rounds.
    const size_t M = 37, N = 40000;
    std::vector<double> X(M * N), y(N);
    reference::WindowsRand fill(12345);
    for (double& v : X) v = (fill() - 16384) / 4096.0;
    for (size_t f = 0; f < N; ++f) y[f] = X[f * M] + 0.5 * X[f * M + 1] > 0 ? 1.0 : -1.0;
    checkOnClockOrder(module, "multi-sample run", M, N, X, y, 1e-4, 3 * static_cast<int32_t>(N) / 2,
                      0.5);

    // Results holding NaNs: the same bits as every other build.
    for (const nan_cases::Case& c : nan_cases::cases())
        checkOnClockOrder(module, c.name, c.M, c.N, c.X, c.y, c.lambda, c.T, c.eta0);

#ifdef CHECK_CALLER_MODES
    checkCallerModes(module);
#endif

    std::printf("%d passed, %d failed\n", passed, failed);
    return failed == 0 ? 0 : 1;
}
