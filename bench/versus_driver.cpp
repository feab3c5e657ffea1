// One side of a same-sitting comparison of two cores (scripts/versus.sh):
// trainOnOrder, the run as users get it, on the benchmark's kind of problem
// at each M, on a cache-sized and a 32 MB matrix. Prints "M MATRIX NS BITS"
// lines: ns per iteration, best of REPEATS, and a hash of the weights' bits,
// which must agree between the two cores. Usage: versus_driver [T [REPEATS]]
#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <vector>

#include "run/train_on_order.h"

int main(int argc, char** argv) {
    const int32_t T = argc > 1 ? std::atoi(argv[1]) : 4000000;
    const int repeats = argc > 2 ? std::atoi(argv[2]) : 3;
    for (int32_t M : {4, 8, 16, 32, 64, 100, 1000, 10000, 262144}) {
        for (size_t bytes : {size_t{256} << 10, size_t{32} << 20}) {
            if (M >= 10000 && bytes < (size_t{1} << 20)) continue;  // no such cache-sized matrix
            const int32_t N = std::max<int32_t>(2, static_cast<int32_t>(bytes / (8 * M)));
            std::mt19937_64 rng(M);
            std::normal_distribution<double> gauss;
            std::vector<double> X(size_t(M) * N), y(N), direction(M);
            for (double& d : direction) d = gauss(rng);
            for (int32_t f = 0; f < N; ++f) {
                double projection = 0.0;
                for (int32_t k = 0; k < M; ++k) {
                    X[size_t(f) * M + k] = gauss(rng);
                    projection += X[size_t(f) * M + k] * direction[k];
                }
                y[f] = projection >= 0 ? 1.0 : -1.0;
            }
            std::vector<int32_t> order(N);
            for (int32_t i = 0; i < N; ++i) order[i] = i;
            std::shuffle(order.begin(), order.end(), rng);
            // Fewer iterations where each takes long.
            const int32_t iterations = M >= 262144 ? 200 : M >= 10000 ? T / 200 : M >= 1000 ? T / 10 : T;
            std::vector<double> out(M);
            double best = 1e300;
            for (int r = 0; r < repeats; ++r) {
                const auto start = std::chrono::steady_clock::now();
                pellumar::trainOnOrder(X.data(), y.data(), 1e-4, iterations, 0.5, M, N, order.data(),
                                       out.data());
                best = std::min(best, std::chrono::duration<double>(
                                          std::chrono::steady_clock::now() - start).count());
            }
            uint64_t hash = 0;
            for (double v : out) {
                uint64_t bits;
                std::memcpy(&bits, &v, sizeof bits);
                hash = hash * 31 + bits;
            }
            std::printf("%d %s %.2f %016llx\n", M, bytes < (size_t{1} << 20) ? "256KB" : "32MB",
                        1e9 * best / iterations, static_cast<unsigned long long>(hash));
        }
    }
}
