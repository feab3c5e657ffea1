// Floating-point environments a caller's thread may be left in, set and read
// as a test needs them, and data on which each of them changes a careless
// run's bits. Shared by the core suite and the module check (which also runs
// under Wine against the Windows C runtime's <fenv.h>); no test framework.
#ifndef PELLUMAR_TESTS_IEEE_ENVIRONMENTS_H
#define PELLUMAR_TESTS_IEEE_ENVIRONMENTS_H

#include <cfenv>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#if defined(__x86_64__) || defined(_M_X64)
#include <xmmintrin.h>
#endif

namespace ieee {

// The modes that change results or stop a run. flushToZero is MXCSR FTZ on
// x86-64 and FPCR FZ on 64-bit ARM (which flushes inputs too);
// denormalsAreZero is MXCSR DAZ; defaultNaN is FPCR DN. traps holds the
// FE_* exceptions that trap.
struct Modes {
    int rounding = FE_TONEAREST;
    bool flushToZero = false, denormalsAreZero = false, defaultNaN = false;
    int traps = 0;

    bool operator==(const Modes& o) const {
        return rounding == o.rounding && flushToZero == o.flushToZero &&
               denormalsAreZero == o.denormalsAreZero && defaultNaN == o.defaultNaN &&
               traps == o.traps;
    }
    bool operator!=(const Modes& o) const { return !(*this == o); }
};

// An exception and its trap bit: a mask bit in MXCSR (set = no trap), an
// enable bit in FPCR (set = trap).
struct TrapBit {
    int exception;
    uint64_t bit;
};

#if defined(__x86_64__) || defined(_M_X64)
constexpr uint64_t kFlushBit = 0x8000, kDenormalsBit = 0x0040, kDefaultNaNBit = 0;
const TrapBit kTrapBits[] = {{FE_INVALID, 1u << 7}, {FE_DIVBYZERO, 1u << 9},
                             {FE_OVERFLOW, 1u << 10}, {FE_UNDERFLOW, 1u << 11},
                             {FE_INEXACT, 1u << 12}};
constexpr bool kTrapBitsMask = true;
inline uint64_t readControl() { return _mm_getcsr(); }
inline void writeControl(uint64_t v) { _mm_setcsr(static_cast<unsigned>(v)); }
#elif defined(__aarch64__)
constexpr uint64_t kFlushBit = 1u << 24, kDenormalsBit = 0, kDefaultNaNBit = 1u << 25;
const TrapBit kTrapBits[] = {{FE_INVALID, 1u << 8}, {FE_DIVBYZERO, 1u << 9},
                             {FE_OVERFLOW, 1u << 10}, {FE_UNDERFLOW, 1u << 11},
                             {FE_INEXACT, 1u << 12}};
constexpr bool kTrapBitsMask = false;
inline uint64_t readControl() {
    uint64_t v;
    __asm__ __volatile__("mrs %0, fpcr" : "=r"(v));
    return v;
}
inline void writeControl(uint64_t v) { __asm__ __volatile__("msr fpcr, %0" : : "r"(v)); }
#else
constexpr uint64_t kFlushBit = 0, kDenormalsBit = 0, kDefaultNaNBit = 0;
const TrapBit kTrapBits[] = {{0, 0}};
constexpr bool kTrapBitsMask = false;
inline uint64_t readControl() { return 0; }
inline void writeControl(uint64_t) {}
#endif

inline Modes current() {
    Modes m;
    m.rounding = std::fegetround();
    const uint64_t c = readControl();
    m.flushToZero = kFlushBit && (c & kFlushBit);
    m.denormalsAreZero = kDenormalsBit && (c & kDenormalsBit);
    m.defaultNaN = kDefaultNaNBit && (c & kDefaultNaNBit);
    for (const TrapBit& t : kTrapBits)
        if (t.bit && ((c & t.bit) != 0) != kTrapBitsMask) m.traps |= t.exception;
    return m;
}

// Sets the modes on this thread (the exception flags cleared first, so that
// none is pending when a trap is enabled). Performs no arithmetic.
inline void set(const Modes& m) {
    std::feclearexcept(FE_ALL_EXCEPT);
    std::fesetround(m.rounding);
    uint64_t c = readControl();
    const auto put = [&c](uint64_t bit, bool on) { c = on ? (c | bit) : (c & ~bit); };
    put(kFlushBit, m.flushToZero);
    put(kDenormalsBit, m.denormalsAreZero);
    put(kDefaultNaNBit, m.defaultNaN);
    for (const TrapBit& t : kTrapBits) put(t.bit, ((m.traps & t.exception) != 0) != kTrapBitsMask);
    writeControl(c);
}

inline std::string describe(const Modes& m) {
    std::string s;
    const auto add = [&s](const char* part) { s += s.empty() ? part : std::string(", ") + part; };
    switch (m.rounding) {
        case FE_TONEAREST: break;
        case FE_UPWARD: add("upward"); break;
        case FE_DOWNWARD: add("downward"); break;
        case FE_TOWARDZERO: add("toward zero"); break;
        default: add("unknown rounding");
    }
    if (m.flushToZero) add("flush-to-zero");
    if (m.denormalsAreZero) add("denormals-are-zero");
    if (m.defaultNaN) add("default NaN");
    const struct { int e; const char* name; } names[] = {
        {FE_INVALID, "invalid"}, {FE_DIVBYZERO, "divide-by-zero"}, {FE_OVERFLOW, "overflow"},
        {FE_UNDERFLOW, "underflow"}, {FE_INEXACT, "inexact"}};
    for (const auto& n : names)
        if (m.traps & n.e) add((std::string("trap on ") + n.name).c_str());
    return s.empty() ? "IEEE default" : s;
}

// What of m this thread can't hold (a processor or emulator that doesn't
// model it): sets m, reads it back, and returns to the default. Empty when
// everything held.
inline std::string notModelled(const Modes& m) {
    set(m);
    const Modes got = current();
    set(Modes{});
    Modes missing;
    missing.rounding = got.rounding == m.rounding ? FE_TONEAREST : m.rounding;
    missing.flushToZero = m.flushToZero && !got.flushToZero;
    missing.denormalsAreZero = m.denormalsAreZero && !got.denormalsAreZero;
    missing.defaultNaN = m.defaultNaN && !got.defaultNaN;
    missing.traps = m.traps & ~got.traps;
    return missing == Modes{} ? "" : describe(missing);
}

// Each directed rounding mode; each non-IEEE mode of this processor, alone
// and together under a directed mode; and the traps, in two groups (the
// second fires on almost any arithmetic).
inline std::vector<Modes> environments() {
    std::vector<Modes> all;
    for (int r : {FE_UPWARD, FE_DOWNWARD, FE_TOWARDZERO}) {
        Modes m;
        m.rounding = r;
        all.push_back(m);
    }
    Modes together;
    together.rounding = FE_DOWNWARD;
    const auto alone = [&](bool Modes::*field, uint64_t bit) {
        if (!bit) return;
        Modes m;
        m.*field = true;
        together.*field = true;
        all.push_back(m);
    };
    alone(&Modes::flushToZero, kFlushBit);
    alone(&Modes::denormalsAreZero, kDenormalsBit);
    alone(&Modes::defaultNaN, kDefaultNaNBit);
    if (kFlushBit) all.push_back(together);
    if (kTrapBits[0].bit) {
        Modes severe, frequent;
        severe.traps = FE_INVALID | FE_DIVBYZERO | FE_OVERFLOW;
        frequent.traps = FE_UNDERFLOW | FE_INEXACT;
        all.push_back(severe);
        all.push_back(frequent);
    }
    return all;
}

// A training problem on a fixed visiting order.
struct Problem {
    const char* name;
    int32_t M, N, T;
    double lambda, eta0;
    std::vector<double> X, y;
    std::vector<int32_t> order;
};

// Deterministic values in [-1, 1) from a 64-bit linear congruential
// sequence, the same on every platform.
class Sequence {
public:
    explicit Sequence(uint64_t seed) : state_(seed) {}
    double next() {
        state_ = state_ * 6364136223846793005ull + 1442695040888963407ull;
        return static_cast<double>(static_cast<int64_t>(state_ >> 11) - (int64_t{1} << 52)) *
               0x1p-52;
    }

private:
    uint64_t state_;
};

inline double negativeNaNWithPayload() {
    const uint64_t bits = 0xFFF800000000BEEFull;
    double v;
    std::memcpy(&v, &bits, sizeof v);
    return v;
}

inline Problem problemOf(const char* name, uint64_t seed, int32_t M, int32_t N) {
    Problem p{name, M, N, 3 * N + 5, 1e-3, 0.5, std::vector<double>(size_t(M) * N),
              std::vector<double>(N), std::vector<int32_t>(N)};
    Sequence s(seed);
    for (double& v : p.X) v = s.next();
    for (int32_t f = 0; f < N; ++f) {
        p.y[f] = s.next() < 0 ? -1.0 : 1.0;
        p.order[f] = (f * 7 + 3) % N;  // a permutation: 7 and N are coprime
    }
    return p;
}

// Plain data: directed rounding changes every element.
inline Problem normalData() { return problemOf("normal data", 1, 37, 23); }

// Features between 2^-1040 and 2^-980: the weights and their average are
// partly subnormal, and every dot product underflows. Flushing either way
// changes them.
inline Problem subnormalData() {
    Problem p = problemOf("subnormal data", 2, 37, 23);
    for (double& v : p.X) v = std::ldexp(v, -980 - static_cast<int>(std::fabs(v) * 60.0));
    return p;
}

// A NaN (negative, with a payload), +-Inf and values near the overflow
// threshold in a few samples: invalid operations and overflows.
inline Problem nonFiniteData() {
    Problem p = problemOf("NaN, Inf and near-overflow data", 3, 37, 23);
    const double big = std::numeric_limits<double>::max();
    p.X[2 * 37 + 5] = std::numeric_limits<double>::infinity();
    p.X[5 * 37 + 6] = -std::numeric_limits<double>::infinity();
    p.X[7 * 37 + 30] = negativeNaNWithPayload();
    for (int k = 10; k < 20; ++k) p.X[11 * 37 + k] = (k % 2 ? 0.75 : -0.5) * big;
    p.X[13 * 37 + 36] = big;
    return p;
}

// A NaN lambda: it reaches every weight through the decay and, by IEEE rules,
// keeps its sign and payload there, which a default-NaN mode would replace (the
// result then shows one canonical NaN either way; the run must still not trap
// and must give the modes back). A NaN feature never reaches the weights: it
// makes the margin NaN, and a NaN margin leaves the weights alone.
inline Problem nanLambdaData() {
    Problem p = problemOf("normal data with a NaN lambda", 4, 37, 23);
    p.lambda = negativeNaNWithPayload();
    return p;
}

inline std::vector<Problem> problems() {
    return {normalData(), subnormalData(), nonFiniteData(), nanLambdaData(),
            problemOf("normal data, 13 features (weights held in registers)", 5, 13, 23)};
}

}  // namespace ieee

#endif
