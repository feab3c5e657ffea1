// The built module, loaded from its file by the stand-in host and called as
// the host calls it.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <memory>
#include <vector>

#include "../support/same_bits.h"
#include "standin_host.h"

using standin::CallResult;
using standin::makeArray;
using standin::makeDouble;
using standin::makeScalar;
using standin::valuesOf;

namespace {

const double kNaN = std::numeric_limits<double>::quiet_NaN();
const double kInf = std::numeric_limits<double>::infinity();

// Owns the arrays a test builds, so that leak counts stay meaningful.
class Arrays {
public:
    ~Arrays() {
        for (mxArray* a : owned_) mxDestroyArray(a);
    }
    const mxArray* keep(mxArray* a) {
        owned_.push_back(a);
        return a;
    }
    void keepOutputs(const CallResult& r) {
        for (mxArray* a : r.outputs)
            if (a) owned_.push_back(a);
    }

private:
    std::vector<mxArray*> owned_;
};

class Gateway : public ::testing::Test {
protected:
    static void SetUpTestSuite() { module_ = new standin::LoadedModule(PELLUMAR_MODULE_PATH); }
    static void TearDownTestSuite() { delete module_; }

    CallResult call(std::vector<const mxArray*> inputs, int nlhs = 1) {
        const long before = standin::liveArrays();
        CallResult r = module_->call(nlhs, inputs);
        createdByLastCall = standin::liveArrays() - before;
        arrays.keepOutputs(r);
        return r;
    }
    // The worked example's inputs with the given T.
    std::vector<const mxArray*> example(double T) {
        return {arrays.keep(makeDouble(2, 1, {1.0, 2.0})), arrays.keep(makeScalar(1.0)),
                arrays.keep(makeScalar(0.5)), arrays.keep(makeScalar(T)),
                arrays.keep(makeScalar(0.1))};
    }
    // The result of a call that must succeed.
    std::vector<double> weights(const CallResult& r) {
        EXPECT_FALSE(r.failed) << r.errorId << ": " << r.errorMessage;
        if (r.failed || !r.outputs[0]) return {};
        EXPECT_EQ(mxGetN(r.outputs[0]), 1u);
        return valuesOf(r.outputs[0]);
    }
    void expectRefused(const CallResult& r, const char* id) {
        EXPECT_TRUE(r.failed);
        EXPECT_EQ(r.errorId, id) << r.errorMessage;
        // The host puts the function's name before the message already.
        EXPECT_FALSE(r.errorMessage.empty() || r.errorMessage.rfind("Pellumar", 0) == 0)
            << r.errorMessage;
        EXPECT_EQ(r.outputs[0], nullptr);
        EXPECT_EQ(r.printed, "");
        EXPECT_EQ(createdByLastCall, 0) << "a refused call leaves no array behind";
    }

    Arrays arrays;
    long createdByLastCall = 0;
    static standin::LoadedModule* module_;
};
standin::LoadedModule* Gateway::module_ = nullptr;

}  // namespace

TEST_F(Gateway, WorkedExampleToTheLastBit) {
    EXPECT_TRUE(SameBits(weights(call(example(1))), {0.1, 0.2}));
    EXPECT_TRUE(SameBits(weights(call(example(2))), {0.13358757210636102, 0.26717514421272204}));
    EXPECT_TRUE(SameBits(weights(call(example(3))), {0.16241979487291838, 0.32483958974583677}));
}

TEST_F(Gateway, IterationCountIsTruncatedTowardZero) {
    const std::vector<double> zeros = {0.0, 0.0};
    for (double T : {0.9, -3.0, 0.0, kNaN, -kInf, -1e300}) {
        EXPECT_TRUE(SameBits(weights(call(example(T))), zeros)) << "T = " << T;
    }
    EXPECT_TRUE(SameBits(weights(call(example(2.9))), weights(call(example(2)))));
    EXPECT_TRUE(SameBits(weights(call(example(1.5))), {0.1, 0.2}));
}

TEST_F(Gateway, ResultGoesToFirstSlotWhateverWasAskedFor) {
    for (int nlhs : {0, 1, 3}) {
        const CallResult r = call(example(1), nlhs);
        EXPECT_TRUE(SameBits(weights(r), {0.1, 0.2})) << "nlhs = " << nlhs;
        for (size_t slot = 1; slot < r.outputs.size(); ++slot) EXPECT_EQ(r.outputs[slot], nullptr);
    }
}

TEST_F(Gateway, ExtraInputsAreIgnoredAndRowsFollowX) {
    auto inputs = example(1);
    inputs.push_back(arrays.keep(makeArray(mxCELL_CLASS, 1, 1, false)));
    inputs.push_back(arrays.keep(makeScalar(kNaN)));
    EXPECT_TRUE(SameBits(weights(call(inputs)), {0.1, 0.2}));

    // More labels than samples, as a row: rows of the output follow X.
    const mxArray* X = arrays.keep(makeDouble(3, 2, {1, 2, 3, 4, 5, 6}));
    const mxArray* y = arrays.keep(makeDouble(1, 5, {1, -1, 1, 1, 1}));
    const CallResult r =
        call({X, y, arrays.keep(makeScalar(0.1)), arrays.keep(makeScalar(4)), arrays.keep(makeScalar(0.5))});
    EXPECT_EQ(weights(r).size(), 3u);
    EXPECT_EQ(mxGetM(r.outputs[0]), 3u);
}

TEST_F(Gateway, ScalarsMayBeAnyNumericOrLogicalClass) {
    auto inputs = example(0);
    mxArray* T = makeArray(mxINT32_CLASS, 1, 2, false);
    const int32_t counts[] = {2, 7};
    std::memcpy(standin::dataOf(T), counts, sizeof counts);
    inputs[3] = arrays.keep(T);  // read through its first element
    EXPECT_TRUE(SameBits(weights(call(inputs)), weights(call(example(2)))));
    mxArray* yes = makeArray(mxLOGICAL_CLASS, 1, 1, false);
    *static_cast<unsigned char*>(standin::dataOf(yes)) = 1;
    inputs[3] = arrays.keep(yes);
    EXPECT_TRUE(SameBits(weights(call(inputs)), {0.1, 0.2}));
}

TEST_F(Gateway, SparseDataGetsOneLineAndNoResult) {
    const double nz[] = {1.0};
    const mxArray* sparse = arrays.keep(standin::makeSparse(2, 3, nz, 1));
    for (std::vector<const mxArray*> inputs :
         {std::vector<const mxArray*>{sparse}, std::vector<const mxArray*>{sparse, sparse},
          std::vector<const mxArray*>{sparse, arrays.keep(makeScalar(1)), arrays.keep(makeScalar(1)),
                                      arrays.keep(makeScalar(5)), arrays.keep(makeScalar(1))}}) {
        const CallResult r = call(inputs);
        EXPECT_FALSE(r.failed);
        EXPECT_EQ(r.printed, "SGD sparse is not ready\n");
        EXPECT_EQ(r.outputs[0], nullptr);
        EXPECT_EQ(createdByLastCall, 0);
    }
}

TEST_F(Gateway, UnsafeCallsAreRefusedWithIdentifiers) {
    expectRefused(call({}), "Pellumar:nargin");
    auto four = example(1);
    four.pop_back();
    expectRefused(call(four), "Pellumar:nargin");

    for (mxClassID cls : {mxSINGLE_CLASS, mxINT32_CLASS, mxLOGICAL_CLASS, mxCHAR_CLASS,
                          mxCELL_CLASS, mxSTRUCT_CLASS}) {
        auto inputs = example(1);
        inputs[0] = arrays.keep(makeArray(cls, 2, 1, false));
        expectRefused(call(inputs), "Pellumar:badData");
    }
    auto complexX = example(1);
    complexX[0] = arrays.keep(makeArray(mxDOUBLE_CLASS, 2, 1, true));
    expectRefused(call(complexX), "Pellumar:badData");

    auto badLabels = example(1);
    badLabels[1] = arrays.keep(makeArray(mxSINGLE_CLASS, 1, 1, false));
    expectRefused(call(badLabels), "Pellumar:badLabels");
    const double one = 1.0;
    badLabels[1] = arrays.keep(standin::makeSparse(1, 1, &one, 1));
    expectRefused(call(badLabels), "Pellumar:badLabels");
    badLabels[1] = arrays.keep(makeDouble(0, 1, {}));
    expectRefused(call(badLabels), "Pellumar:labelCount");

    const char* ids[] = {"Pellumar:badLambda", "Pellumar:badIterations", "Pellumar:badStep"};
    for (int slot = 2; slot <= 4; ++slot) {
        auto inputs = example(1);
        inputs[slot] = arrays.keep(makeDouble(1, 0, {}));
        expectRefused(call(inputs), ids[slot - 2]);
        inputs[slot] = arrays.keep(makeArray(mxCELL_CLASS, 1, 1, false));
        expectRefused(call(inputs), ids[slot - 2]);
        inputs[slot] = arrays.keep(makeArray(mxCHAR_CLASS, 1, 1, false));
        expectRefused(call(inputs), ids[slot - 2]);
    }

    auto noSamples = example(1);
    noSamples[0] = arrays.keep(makeDouble(2, 0, {}));
    expectRefused(call(noSamples), "Pellumar:noSamples");
    noSamples[3] = arrays.keep(makeScalar(0));
    EXPECT_TRUE(SameBits(weights(call(noSamples)), {0.0, 0.0}));

    for (double T : {2147483648.0, 1e300, kInf})
        expectRefused(call(example(T)), "Pellumar:tooManyIterations");

    // Counts past 2^31 - 1 (empty in the other dimension, so they hold no data).
    auto tall = example(0);
    tall[0] = arrays.keep(makeArray(mxDOUBLE_CLASS, size_t{1} << 31, 0, false));
    expectRefused(call(tall), "Pellumar:tooLarge");
    auto wide = example(0);
    wide[0] = arrays.keep(makeArray(mxDOUBLE_CLASS, 0, (size_t{1} << 32) + 1, false));
    expectRefused(call(wide), "Pellumar:tooLarge");
}

TEST_F(Gateway, NonFiniteInputsPropagate) {
    auto inputs = example(2);
    inputs[2] = arrays.keep(makeScalar(kNaN));
    const auto w = weights(call(inputs));
    ASSERT_EQ(w.size(), 2u);
    EXPECT_TRUE(std::isnan(w[0]) && std::isnan(w[1]));
    inputs = example(1);
    inputs[0] = arrays.keep(makeDouble(2, 1, {kInf, 2.0}));
    // 0 * Inf makes the first margin NaN, which leaves the weights at zero.
    EXPECT_TRUE(SameBits(weights(call(inputs)), {0.0, 0.0}));
}
