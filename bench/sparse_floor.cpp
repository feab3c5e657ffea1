// The sparse run on a LIBSVM file against the floor that reading the data
// sets, for make bench-text: every visited sample's non-zeros read once per
// iteration, in the run's order and with its prefetching, and dotted with
// one weight vector (an in-order sum). A run of one classifier must do at
// least that; ten classifiers read each sample once for all of them.
//
//   bench_sparse_floor FILE [PASSES [REPEATS]]
//
// Prints the best of REPEATS (alternating) for the floor, one classifier
// (the first class against the rest) and one per class, lambda 1e-6,
// eta0 32, with the bias, on the order of seed 1.
#include <algorithm>
#include <cstdint>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "platform/prefetch.h"
#include "engine/seeded_order.h"
#include "sparse/sparse_run.h"

namespace {

struct Data {
    std::vector<double> labels, values;
    std::vector<uint64_t> rows, starts{0};
    int32_t M = 0, N = 0;
};

// A LIBSVM file: "label index:value ..." lines, indices from 1 to 2^31 - 2
// and ascending; "#" starts a comment and "qid:" items are skipped. False,
// with the line's number in *badLine, for anything else.
bool read(const char* file, Data& d, long* badLine) {
    std::ifstream in(file);
    *badLine = 0;
    if (!in) return false;
    std::string line, item;
    for (long number = 1; std::getline(in, line); ++number) {
        *badLine = number;
        line = line.substr(0, line.find('#'));
        std::istringstream fields(line);
        double label;
        if (!(fields >> label)) {
            if (line.find_first_not_of(" \t\r") != std::string::npos) return false;
            continue;
        }
        d.labels.push_back(label);
        uint64_t previous = 0;
        while (fields >> item) {
            if (item.compare(0, 4, "qid:") == 0) continue;
            const size_t colon = item.find(':');
            char* end = nullptr;
            const unsigned long long index = std::strtoull(item.c_str(), &end, 10);
            if (colon == std::string::npos || end != item.c_str() + colon || index < 1 ||
                index >= INT32_MAX || index <= previous)
                return false;
            const double value = std::strtod(item.c_str() + colon + 1, &end);
            if (*end != '\0' || end == item.c_str() + colon + 1) return false;
            previous = index;
            d.rows.push_back(index - 1);
            d.values.push_back(value);
            d.M = std::max(d.M, static_cast<int32_t>(index));
        }
        d.starts.push_back(d.values.size());
        if (d.labels.size() >= INT32_MAX) return false;
    }
    d.N = static_cast<int32_t>(d.labels.size());
    *badLine = 0;
    return d.N > 0;
}

// T iterations of reading sample order[t mod N] and summing its products
// with w, in order; the samples' rows and values fetched 16 ahead, as the
// run fetches them.
double readFloor(const Data& d, const std::vector<int32_t>& order, int32_t T,
                 const std::vector<double>& w) {
    double total = 0.0;
    int32_t now = 1 % d.N, ahead = static_cast<int32_t>((1 + 16) % d.N);
    for (int32_t t = 1; t <= T; ++t) {
        const int32_t g = order[ahead];
        for (uint64_t j = d.starts[g]; j < d.starts[g + 1]; j += 8) {
            pellumar::prefetchLine(&d.rows[j]);
            pellumar::prefetchLine(&d.values[j]);
        }
        const int32_t f = order[now];
        double dot = 0.0;
        for (uint64_t j = d.starts[f]; j < d.starts[f + 1]; ++j)
            dot = dot + w[2 * d.rows[j]] * d.values[j];
        total = total + dot;
        if (++now == d.N) now = 0;
        if (++ahead == d.N) ahead = 0;
    }
    return total;
}

// A whole number from 1 to 10^6 written in full, or 0.
int count(const char* text) {
    char* end = nullptr;
    const long n = std::strtol(text, &end, 10);
    return *text != '\0' && *end == '\0' && n >= 1 && n <= 1000000 ? static_cast<int>(n) : 0;
}

template <class F>
double seconds(F f) {
    const auto start = std::chrono::steady_clock::now();
    f();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: bench_sparse_floor FILE [PASSES [REPEATS]]\n");
        return 2;
    }
    const int passes = argc > 2 ? count(argv[2]) : 5;
    const int repeats = argc > 3 ? count(argv[3]) : 5;
    if (passes < 1 || repeats < 1) {
        std::fprintf(stderr,
                     "bench_sparse_floor: PASSES and REPEATS must be whole numbers from 1 to "
                     "1000000\n");
        return 2;
    }
    Data d;
    long badLine = 0;
    if (!read(argv[1], d, &badLine)) {
        if (badLine > 0)
            std::fprintf(stderr, "bench_sparse_floor: %s, line %ld: not a LIBSVM line\n", argv[1],
                         badLine);
        else
            std::fprintf(stderr, "bench_sparse_floor: cannot read %s, or it holds no sample\n",
                         argv[1]);
        return 2;
    }
    if (static_cast<int64_t>(passes) * d.N > INT32_MAX) {
        std::fprintf(stderr, "bench_sparse_floor: %d passes over %d samples are too many\n",
                     passes, d.N);
        return 2;
    }
    std::vector<double> classes(d.labels);
    std::sort(classes.begin(), classes.end());
    classes.erase(std::unique(classes.begin(), classes.end()), classes.end());
    const int32_t G = static_cast<int32_t>(classes.size());
    std::vector<std::vector<double>> y(G, std::vector<double>(d.N));
    for (int32_t c = 0; c < G; ++c)
        for (int32_t f = 0; f < d.N; ++f) y[c][f] = d.labels[f] == classes[c] ? 1.0 : -1.0;
    std::vector<const double*> labels;
    for (const auto& l : y) labels.push_back(l.data());
    std::vector<std::vector<double>> out(G, std::vector<double>(static_cast<size_t>(d.M) + 1));
    std::vector<double*> outs;
    for (auto& o : out) outs.push_back(o.data());

    pellumar::SparseColumns X;
    X.values = d.values.data();
    X.rows = d.rows.data();
    X.starts = d.starts.data();
    X.indexBytes = 8;
    const std::vector<int32_t> order = pellumar::makeSeededOrder(d.N, 1);
    const int32_t T = passes * d.N;
    const std::vector<double> w(2 * static_cast<size_t>(d.M), 1e-3);
    double floor = 1e30, one = 1e30, all = 1e30, sink = 0.0;
    for (int r = 0; r < repeats; ++r) {
        floor = std::min(floor, seconds([&] { sink += readFloor(d, order, T, w); }));
        one = std::min(one, seconds([&] {
            pellumar::trainSparseGroupOnOrder(X, labels.data(), 1, 1e-6, 32.0, d.M, d.N,
                                              order.data(), true, &T, 1, outs.data());
        }));
        all = std::min(all, seconds([&] {
            pellumar::trainSparseGroupOnOrder(X, labels.data(), G, 1e-6, 32.0, d.M, d.N,
                                              order.data(), true, &T, 1, outs.data());
        }));
    }
    const double visited = static_cast<double>(d.values.size()) * passes;
    std::printf("%d samples, %d features, %zu non-zeros, %d passes, best of %d (checksum %g):\n",
                d.N, d.M, d.values.size(), passes, repeats, sink);
    std::printf("  reading the samples (floor)   %.4f s  %.2f ns per non-zero\n", floor,
                floor / visited * 1e9);
    std::printf("  one classifier                %.4f s  %.2f ns per non-zero  (%.2fx the floor)\n",
                one, one / visited * 1e9, one / floor);
    std::printf("  %2d classifiers                %.4f s  %.2f ns per non-zero and classifier  "
                "(%.2fx the floor)\n", G, all, all / visited / G * 1e9, all / floor);
    return 0;
}
