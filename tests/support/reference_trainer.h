// A deliberately plain trainer used as the yardstick for the real one: every
// step written out in the documented order, nothing shared with core/.
#ifndef PELLUMAR_TESTS_REFERENCE_TRAINER_H
#define PELLUMAR_TESTS_REFERENCE_TRAINER_H

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace reference {

// The visiting order drawn from a source of rand() values.
template <class Rand>
std::vector<int32_t> shuffledOrderWith(Rand rand, int32_t N) {
    std::vector<int32_t> order;
    for (int32_t i = 0; i < N; ++i) order.push_back(i);
    for (int64_t p = 1; p < N; ++p) {
        uint32_t i = static_cast<uint32_t>(p + 1);
        uint32_t r = static_cast<uint32_t>(rand()) & 0x7FFF;
        uint32_t range = 0x7FFF;
        while (range < i && range != 0xFFFFFFFFu) {
            range = (range << 15) | 0x7FFF;
            r = (r << 15) | (static_cast<uint32_t>(rand()) & 0x7FFF);
        }
        int32_t j = static_cast<int32_t>(r % i);
        int32_t held = order[p];
        order[p] = order[j];
        order[j] = held;
    }
    return order;
}

// The visiting order drawn with this C library's generator, given its seed.
inline std::vector<int32_t> shuffledOrder(unsigned seed, int32_t N) {
    std::srand(seed);
    return shuffledOrderWith([] { return std::rand(); }, N);
}

// The generator of the Windows C runtime (msvcrt and ucrt alike), written
// out so that a Windows build can be checked against it rather than against
// itself.
class WindowsRand {
public:
    explicit WindowsRand(unsigned seed) : state_(seed) {}
    int operator()() {
        state_ = state_ * 214013u + 2531011u;
        return static_cast<int>((state_ >> 16) & 0x7FFF);
    }

private:
    uint32_t state_;
};

// Iterations tFirst .. tLast visiting order[t % N], on the weights w and
// their average wbar as they stand before iteration tFirst.
inline void iterate(const std::vector<double>& X, const std::vector<double>& y, double lambda,
                    int64_t tFirst, int64_t tLast, double eta0, int64_t M, int64_t N,
                    const std::vector<int32_t>& order, std::vector<double>& w,
                    std::vector<double>& wbar) {
    for (int64_t t = tFirst; t <= tLast; ++t) {
        int64_t f = order[t % N];
        double tD = static_cast<double>(t);
        double root = std::sqrt(tD);
        double step = eta0 / root;
        double yf = y[f];
        double dot = 0.0;
        for (int64_t k = 0; k < M; ++k) {
            double product = w[k] * X[f * M + k];
            dot = dot + product;
        }
        double margin = dot * yf;
        std::vector<double> g(M, 0.0);
        if (margin < 1.0) {
            for (int64_t k = 0; k < M; ++k) {
                double scaled = yf * X[f * M + k];
                g[k] = -scaled;
            }
        }
        double shrink = step * lambda;
        double decay = 1.0 - shrink;
        for (int64_t k = 0; k < M; ++k) {
            double kept = decay * w[k];
            double moved = step * g[k];
            w[k] = kept - moved;
        }
        double before = static_cast<double>(t - 1);
        for (int64_t k = 0; k < M; ++k) {
            double weighted = before * wbar[k];
            double sum = weighted + w[k];
            wbar[k] = sum / tD;
        }
    }
}

// The averaged weights after T iterations visiting order[t % N].
inline std::vector<double> train(const std::vector<double>& X, const std::vector<double>& y,
                                 double lambda, int64_t T, double eta0, int64_t M, int64_t N,
                                 const std::vector<int32_t>& order) {
    std::vector<double> w(M, 0.0), wbar(M, 0.0);
    iterate(X, y, lambda, 1, T, eta0, M, N, order, w, wbar);
    // The result's NaNs, whatever their sign and payload, as the one quiet NaN.
    for (int64_t k = 0; k < M; ++k) {
        if (wbar[k] != wbar[k]) {
            const uint64_t canonical = 0x7FF8000000000000ull;
            std::memcpy(&wbar[k], &canonical, sizeof canonical);
        }
    }
    return wbar;
}

inline uint64_t bitsOf(double v) {
    uint64_t b;
    std::memcpy(&b, &v, sizeof b);
    return b;
}

}  // namespace reference

#endif
