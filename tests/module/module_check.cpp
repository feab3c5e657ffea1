// Runs built module files through the stand-in host as a host would: loads
// them (.mexw64 under Windows or Wine, .mexa64 on Linux), calls mexFunction
// and checks the results bit for bit. Prints "N passed, N failed"; exits
// non-zero on failure.
//
//   module_check [MODULE [ENGINE]]   Pellumar, then the toolbox's engine
//   module_check --engine ENGINE     the engine alone
//
// The engine's checks print lines "engine bits, ...: HASH" of its results
// for fixed seeds, which make check-win64 compares between the Windows
// engine under Wine and the Linux engine.
#include <cmath>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <string>
#include <vector>

#include "engine/batch.h"
#include "engine/seeded_order.h"
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

// The toolbox's engine on a small fixed problem: 90 samples of three
// classes in three folds, five features and the bias, one classifier per
// class; three runs, one on all samples and two that each leave a fold out,
// with seeds up to 2^53 - 1 and two checkpoints each (equal ones, and one
// after a single iteration).
struct EngineProblem {
    static constexpr int32_t M = 5, N = 90, K = 3, R = 3, C = 2;
    std::vector<double> X, classOf, positives = {1, 2, 3}, foldOf;
    std::vector<float> Xf;
    // The same values with a third of them made zero, as sparse columns.
    std::vector<double> values;
    std::vector<int> rows, starts{0};
    // Each column: fold left out (0: none), lambda, eta0, seed.
    std::vector<double> runs = {0, 1e-3, 0.5, 42,
                                2, 1e-4, 1.0, 7,
                                3, 1e-2, 0.25, 9007199254740991.0};
    // Enough iterations (a few milliseconds' work) that the engine starts
    // a worker thread when allowed two.
    std::vector<double> iterations = {45, 20000, 60, 60, 1, 40000};

    EngineProblem() : X(M * N), classOf(N), foldOf(N), Xf(M * N) {
        reference::WindowsRand fill(2024);
        for (size_t k = 0; k < X.size(); ++k) {
            X[k] = (fill() - 16384) / 3000.0;
            Xf[k] = static_cast<float>(X[k]);
        }
        for (int32_t f = 0; f < N; ++f) {
            for (int32_t k = 0; k < M; ++k)
                if ((f + 2 * k) % 3 != 0) {
                    rows.push_back(k);
                    values.push_back(X[static_cast<size_t>(f) * M + k]);
                }
            starts.push_back(static_cast<int>(values.size()));
        }
        for (int32_t f = 0; f < N; ++f) {
            const double* x = &X[static_cast<size_t>(f) * M];
            classOf[f] = x[0] > x[1] ? (x[0] > x[2] ? 1 : 3) : (x[1] > x[2] ? 2 : 3);
            foldOf[f] = 1 + f % 3;
        }
    }
};

// The engine's output computed by the core in this process, laid out as the
// engine documents it: run r, classifier k, checkpoint c in column
// c + C*(k + K*r).
enum DataKind { DOUBLE_DATA, SINGLE_DATA, SPARSE_DATA };

std::vector<double> engineByCore(const EngineProblem& p, DataKind kind) {
    using P = EngineProblem;
    pellumar::DataMatrix data;
    const std::vector<uint32_t> rows(p.rows.begin(), p.rows.end()),
        starts(p.starts.begin(), p.starts.end());
    if (kind == SINGLE_DATA)
        data.floats = p.Xf.data();
    else
        data.doubles = p.X.data();
    if (kind == SPARSE_DATA) {
        data.isSparse = true;
        data.sparse.values = p.values.data();
        data.sparse.rows = rows.data();
        data.sparse.starts = starts.data();
        data.sparse.indexBytes = 4;
    }
    data.M = P::M;
    data.N = P::N;
    data.bias = true;
    const size_t m = P::M + 1;
    std::vector<double> W(m * P::C * P::K * P::R), labels(P::K * P::N);
    for (int32_t k = 0; k < P::K; ++k)
        for (int32_t f = 0; f < P::N; ++f)
            labels[k * P::N + f] = p.classOf[f] == p.positives[k] ? 1.0 : -1.0;
    for (int32_t r = 0; r < P::R; ++r) {
        const double* run = &p.runs[4 * r];
        std::vector<int32_t> samples, counts;
        for (int32_t f = 0; f < P::N; ++f)
            if (p.foldOf[f] != run[0]) samples.push_back(f);
        for (int32_t c = 0; c < P::C; ++c)
            counts.push_back(static_cast<int32_t>(p.iterations[P::C * r + c]));
        for (int32_t k = 0; k < P::K; ++k) {
            pellumar::Training t;
            t.labels = &labels[k * P::N];
            if (run[0] != 0.0) {
                t.samples = samples.data();
                t.sampleCount = static_cast<int32_t>(samples.size());
            }
            t.lambda = run[1];
            t.eta0 = run[2];
            t.seed = static_cast<uint64_t>(run[3]);
            t.checkpoints = counts.data();
            t.checkpointCount = P::C;
            t.out = W.data() + m * P::C * (k + P::K * r);
            pellumar::runOneTraining(data, t);
        }
    }
    return W;
}

standin::CallResult callEngine(const standin::LoadedModule& engine, const EngineProblem& p,
                               DataKind kind, double threads) {
    using P = EngineProblem;
    Inputs in;
    if (kind == SPARSE_DATA) {
        in.arrays.push_back(standin::makeSparseColumns(P::M, P::N, p.starts.data(), p.rows.data(),
                                                       p.values.data()));
    } else if (kind == SINGLE_DATA) {
        mxArray* X = standin::makeArray(mxSINGLE_CLASS, P::M, P::N, false);
        std::memcpy(standin::dataOf(X), p.Xf.data(), p.Xf.size() * sizeof(float));
        in.arrays.push_back(X);
    } else {
        in.arrays.push_back(standin::makeDouble(P::M, P::N, p.X));
    }
    in.arrays.insert(in.arrays.end(),
                     {standin::makeDouble(1, P::N, p.classOf),
                      standin::makeDouble(1, P::K, p.positives),
                      standin::makeDouble(1, P::N, p.foldOf), standin::makeDouble(4, P::R, p.runs),
                      standin::makeDouble(P::C, P::R, p.iterations), standin::makeScalar(1.0),
                      standin::makeScalar(threads)});
    return engine.call(1, in.view());
}

// FNV-1a over the values' bit patterns, byte by byte from the lowest: the
// same on every platform.
std::string hashOf(const std::vector<double>& values) {
    uint64_t h = 0xCBF29CE484222325ull;
    for (double v : values) {
        const uint64_t bits = reference::bitsOf(v);
        for (int b = 0; b < 64; b += 8) h = (h ^ ((bits >> b) & 0xFF)) * 0x100000001B3ull;
    }
    char text[17];
    std::snprintf(text, sizeof text, "%08x%08x", static_cast<unsigned>(h >> 32),
                  static_cast<unsigned>(h & 0xFFFFFFFFu));
    return text;
}

void checkEngine(const standin::LoadedModule& engine) {
    const EngineProblem p;
    for (DataKind kind : {DOUBLE_DATA, SINGLE_DATA, SPARSE_DATA}) {
        const std::vector<double> want = engineByCore(p, kind);
        const char* data = kind == SINGLE_DATA   ? "single data"
                           : kind == SPARSE_DATA ? "sparse data"
                                                 : "double data";
        for (int threads : {1, 2}) {
            const std::vector<double> got = result(callEngine(engine, p, kind, threads));
            const std::string what = std::string("engine, ") + data + ", " +
                                     std::to_string(threads) +
                                     (threads == 1 ? " thread" : " threads");
            check(sameBits(got, want), what + ": the core's bits");
            std::printf("engine bits, %s, threads %d: %s\n", data, threads, hashOf(got).c_str());
        }
    }

    // pellumar_order: the core's order, 1-based.
    const double seed = 9007199254740991.0;  // 2^53 - 1
    Inputs in;
    in.arrays = {standin::makeScalar(1000), standin::makeScalar(seed)};
    const std::vector<double> order = result(engine.call(1, in.view()));
    std::vector<double> want;
    for (int32_t v : pellumar::makeSeededOrder(1000, static_cast<uint64_t>(seed)))
        want.push_back(v + 1.0);
    check(sameBits(order, want), "engine: the order of 1000 samples for seed 2^53 - 1");
    std::printf("engine bits, order of 1000 samples, seed 2^53 - 1: %s\n", hashOf(order).c_str());

    // A refusal raised through the host's error call.
    const standin::CallResult refused = callEngine(engine, p, DOUBLE_DATA, 0);
    check(refused.failed && refused.errorId == "pellumar:engineCall" &&
              refused.outputs[0] == nullptr,
          "engine: 0 threads refused, got id \"" + refused.errorId + "\"");

#ifdef CHECK_CALLER_MODES
    // Two threads started from a caller in each environment, on the sparse
    // run (the dense one is checked so through the module above): the default
    // bits, no trap, the caller's modes given back.
    catchTraps();
    const std::vector<double> want1 = engineByCore(p, SPARSE_DATA);
    for (const ieee::Modes& modes : ieee::environments()) {
        const std::string what = "engine on 2 threads under " + ieee::describe(modes);
        trapped = 0;
        ieee::set(modes);
        const ieee::Modes before = ieee::current();
        const std::vector<double> got = result(callEngine(engine, p, SPARSE_DATA, 2));
        const ieee::Modes after = ieee::current();
        ieee::set(ieee::Modes{});
        check(!trapped, what + ": no trap");
        check(after == before, what + ": modes given back, found " + ieee::describe(after));
        check(sameBits(got, want1), what + ": default bits");
    }
#endif
}

void checkModule(const standin::LoadedModule& module) {
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
}

}  // namespace

int main(int argc, char** argv) {
#ifdef _WIN32
    const std::string defaultModule = "Pellumar.mexw64";
#else
    const std::string defaultModule = "./Pellumar.mexa64";
#endif
    const std::string first = argc > 1 ? argv[1] : defaultModule;
    if (first == "--engine") {
        if (argc < 3) {
            std::fprintf(stderr, "usage: module_check --engine ENGINE\n");
            return 2;
        }
        standin::LoadedModule engine(argv[2]);
        checkEngine(engine);
    } else {
        standin::LoadedModule module(first);
        checkModule(module);
        if (argc > 2) {
            standin::LoadedModule engine(argv[2]);
            checkEngine(engine);
        }
    }

    // An entry that 64-bit MATLAB refuses raises the host's error, which a
    // module could catch and hide: no module may have called one at all.
    check(standin::refusedEntryCalls() == 0,
          "no entry that 64-bit MATLAB refuses was called (" +
              std::to_string(standin::refusedEntryCalls()) + " calls)");
    std::printf("%d passed, %d failed\n", passed, failed);
    return failed == 0 ? 0 : 1;
}
