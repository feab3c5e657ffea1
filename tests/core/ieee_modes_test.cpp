// Whatever floating-point modes the caller's thread has, a run gives the bits
// of the IEEE default environment, does not trap, and leaves the caller's
// modes as it found them. Each case runs in a child process, so that a trap
// fails the case instead of ending the suite.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <vector>

#include "../support/ieee_environments.h"
#include "../support/same_bits.h"
#include "run/train_on_order.h"
#include "module/training.h"

namespace {

std::vector<double> trainedOnOrder(const ieee::Problem& p) {
    std::vector<double> out(p.M);
    pellumar::trainOnOrder(p.X.data(), p.y.data(), p.lambda, p.T, p.eta0, p.M, p.N,
                           p.order.data(), out.data());
    return out;
}

std::vector<double> trainedFromClock(const ieee::Problem& p) {
    std::vector<double> out(p.M);
    pellumar::runTraining(p.X.data(), p.y.data(), p.lambda, p.T, p.eta0, p.M, p.N, out.data());
    return out;
}

// Reports on standard error (which the parent shows when the case fails)
// and tells whether the two results are the same bits.
bool sameBits(const std::vector<double>& got, const std::vector<double>& want) {
    const ::testing::AssertionResult same = SameBits(got, want);
    if (!same) std::fprintf(stderr, "%s\n", same.message());
    return static_cast<bool>(same);
}

// A run under the given modes: its result, and whether the modes were the
// same after it as before. Returns with the default modes set again.
template <class Train>
std::vector<double> trainUnder(const ieee::Modes& modes, Train train, bool& modesKept) {
    ieee::set(modes);
    const ieee::Modes before = ieee::current();
    std::vector<double> got = train();
    const ieee::Modes after = ieee::current();
    ieee::set(ieee::Modes{});
    modesKept = after == before;
    if (!modesKept)
        std::fprintf(stderr, "modes before the run: %s; after: %s\n",
                     ieee::describe(before).c_str(), ieee::describe(after).c_str());
    return got;
}

// The end of a child: 0 only when the result and the modes were right.
[[noreturn]] void exitWith(bool ok) { std::exit(ok ? 0 : 1); }

// The environments this processor (or emulator) holds, with a note of those
// it doesn't.
std::vector<ieee::Modes> modelledEnvironments() {
    std::vector<ieee::Modes> held;
    for (const ieee::Modes& m : ieee::environments()) {
        const std::string missing = ieee::notModelled(m);
        if (missing.empty())
            held.push_back(m);
        else
            std::printf("[  NOTE    ] not modelled here, not tested: %s\n", missing.c_str());
    }
    return held;
}

}  // namespace

TEST(IeeeModes, EveryCallerEnvironmentGivesTheDefaultBitsWithoutTrapsAndIsGivenBack) {
    const std::vector<ieee::Modes> environments = modelledEnvironments();
    ASSERT_FALSE(environments.empty());
    for (const ieee::Problem& p : ieee::problems()) {
        const std::vector<double> want = trainedOnOrder(p);
        for (const ieee::Modes& modes : environments) {
            const auto child = [&] {
                bool modesKept = false;
                const auto got = trainUnder(modes, [&] { return trainedOnOrder(p); }, modesKept);
                exitWith(sameBits(got, want) && modesKept);
            };
            EXPECT_EXIT(child(), ::testing::ExitedWithCode(0), "")
                << p.name << " under " << ieee::describe(modes);
        }
    }
}

// The host's entry: every mode at once, on the data that traps, with the
// order the clock gives (retried when the second changes between the runs).
TEST(IeeeModes, RunTrainingSetsItsOwnModesAndGivesTheCallersBack) {
    ieee::Modes everything;
    for (const ieee::Modes& m : modelledEnvironments()) {
        if (m.rounding != FE_TONEAREST) everything.rounding = m.rounding;
        everything.flushToZero |= m.flushToZero;
        everything.denormalsAreZero |= m.denormalsAreZero;
        everything.defaultNaN |= m.defaultNaN;
        everything.traps |= m.traps;
    }
    for (const ieee::Problem& p : {ieee::nonFiniteData(), ieee::subnormalData()}) {
        const auto child = [&] {
            for (int attempt = 0; attempt < 20; ++attempt) {
                const time_t second = std::time(nullptr);
                const std::vector<double> want = trainedFromClock(p);
                bool modesKept = false;
                const auto got = trainUnder(everything, [&] { return trainedFromClock(p); }, modesKept);
                if (std::time(nullptr) == second) exitWith(sameBits(got, want) && modesKept);
            }
            std::fprintf(stderr, "the clock second changed during every attempt\n");
            exitWith(false);
        };
        EXPECT_EXIT(child(), ::testing::ExitedWithCode(0), "")
            << p.name << " under " << ieee::describe(everything);
    }
}
