# Front door of the project. CMake builds the C++ underneath.
#   make demo    build the Octave module and train on the example data
#   make test    everything CI runs
.PHONY: all build test demo-fashion test-fashion test-core test-sanitize test-tsan test-valgrind test-octave test-soak \
        octave demo test-clang test-portable check-arm64 mexw64 check-win64 mexa64 dist check-dist octave-package \
        check-octave-package check-contraction bench bench-toolbox bench-search versus fuzz \
        test-fuzz check-matlab check-host-api deps clean demo-text test-text bench-text bench-sparse-scale bench-read

SHELL      := /bin/bash
.SHELLFLAGS := -o pipefail -c
BUILD      := build
JOBS       ?= 2
CMAKE_GEN  := cmake -S . -DCMAKE_BUILD_TYPE=Release
OCTAVE     := octave-cli --quiet --no-history --no-init-file
WINE       := /usr/lib/wine/wine64
WINE_ENV   := WINEPREFIX=$(CURDIR)/$(BUILD)/wineprefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="

all: build

# The main job: build the Octave module and train on the example data.
demo: octave
	$(OCTAVE) --eval "addpath('$(CURDIR)/$(BUILD)/octave', '$(CURDIR)/toolbox', '$(CURDIR)/examples'); breast_cancer_demo('$(CURDIR)/$(BUILD)')"

# Fashion-MNIST from its Debian package: scikit-learn's averaged SGD on the
# same settings first (PEERS=all adds LinearSVC, minutes; PEERS=none skips
# them), then the demo's table and pictures in $(BUILD)/.
FASHION_DATA ?= /usr/share/datasets/fashion-mnist
PEERS        ?= sgd
demo-fashion: octave
	scripts/install-deps.sh fashion plot $(if $(filter none,$(PEERS)),,peers)
	$(if $(filter none,$(PEERS)),rm -f $(BUILD)/fashion_peers.txt,/usr/bin/python3 bench/fashion_peers.py \
	  --data $(FASHION_DATA) --peers $(PEERS) --out $(BUILD)/fashion_peers.txt)
	$(OCTAVE) --eval "addpath('$(CURDIR)/$(BUILD)/octave', '$(CURDIR)/toolbox', '$(CURDIR)/examples'); \
	  fashion_mnist_demo('$(FASHION_DATA)', 'out', '$(CURDIR)/$(BUILD)')"

# The IDX reader on files the test writes, and the demo on a slice of the data.
test-fashion: octave
	scripts/install-deps.sh fashion plot
	$(OCTAVE) --eval "addpath('$(CURDIR)/$(BUILD)/octave', '$(CURDIR)/toolbox', '$(CURDIR)/examples'); \
	  run('$(CURDIR)/tests/octave/test_fashion_demo.m')"

# Text: Debian's package descriptions of the ten largest sections as tf-idf
# features in $(TEXT_DATA)/ (scripts/make_text_data.py fetches the package
# lists with their English descriptions: root and the network, once), then
# scikit-learn's averaged SGD on the same files (PEERS=all adds LinearSVC;
# PEERS=none skips them), then text_demo's tables and picture in $(BUILD)/.
# The peers and the demo run on one core, TEXT_CORE, so that their times
# compare.
TEXT_DATA ?= $(BUILD)/text
TEXT_CORE ?= $(shell [ "$$(nproc)" -gt 1 ] && echo 1 || echo 0)
$(TEXT_DATA)/features.txt: scripts/make_text_data.py
	scripts/install-deps.sh text
	/usr/bin/python3 scripts/make_text_data.py --out $(TEXT_DATA)

demo-text: octave $(TEXT_DATA)/features.txt
	scripts/install-deps.sh plot $(if $(filter none,$(PEERS)),,peers)
	$(if $(filter none,$(PEERS)),rm -f $(BUILD)/text_peers.txt,taskset -c $(TEXT_CORE) /usr/bin/python3 \
	  bench/text_peers.py --data $(TEXT_DATA) --peers $(PEERS) --out $(BUILD)/text_peers.txt)
	taskset -c $(TEXT_CORE) $(OCTAVE) --eval "addpath('$(CURDIR)/$(BUILD)/octave', '$(CURDIR)/toolbox', \
	  '$(CURDIR)/examples'); text_demo('$(abspath $(TEXT_DATA))', 'out', '$(CURDIR)/$(BUILD)')"

# Speed on the text data, for reading: scikit-learn's averaged SGD on the
# same schedule and Pellumar, each pinned to one core, in alternating rounds
# of best-of-3 fits, then Pellumar with the default threads, then the
# engine's sparse run alone against the floor of reading the samples
# (bench/sparse_floor.cpp).
bench-text: octave $(TEXT_DATA)/features.txt
	scripts/install-deps.sh peers
	$(CMAKE_GEN) -B $(BUILD)/bench -DPELLUMAR_BENCH=ON -DPELLUMAR_TESTS=OFF >/dev/null
	cmake --build $(BUILD)/bench -j $(JOBS) --target bench_sparse_floor
	for round in 1 2; do \
	  taskset -c $(TEXT_CORE) /usr/bin/python3 bench/text_sgd_bench.py --data $(TEXT_DATA); \
	  taskset -c $(TEXT_CORE) $(OCTAVE) --eval "addpath('$(CURDIR)/toolbox'); TEXT = '$(abspath $(TEXT_DATA))'; \
	    REPEATS = 3; THREADS = 1; run('$(CURDIR)/bench/text_bench.m')"; \
	done
	@echo "default threads ($$(nproc)):"
	$(OCTAVE) --eval "addpath('$(CURDIR)/toolbox'); TEXT = '$(abspath $(TEXT_DATA))'; \
	  REPEATS = 3; THREADS = $$(nproc); run('$(CURDIR)/bench/text_bench.m')"
	for passes in 5 20; do taskset -c $(TEXT_CORE) $(BUILD)/bench/bench_sparse_floor \
	  $(TEXT_DATA)/train.libsvm $$passes 5; done

# Sparse training at scale, for reading: synthetic Zipf-distributed
# documents of about 100 non-zeros, at growing N and M up to a million each,
# each size in an Octave process of its own (bench/sparse_scale.m).
bench-sparse-scale: octave
	@echo "an empty Octave process's peak: $$($(OCTAVE) --eval "t = fileread('/proc/self/status'); \
	  printf('%s', regexp(t, 'VmHWM:\\s*\\d+ kB', 'match', 'once'))")"
	for size in "100000 100000" "1000000 100000" "100000 1000000" "1000000 1000000"; do set -- $$size; \
	  for step in make train; do $(OCTAVE) --eval "addpath('$(CURDIR)/toolbox'); N = $$1; M = $$2; \
	    NNZ = 100; PASSES = 2; STEP = '$$step'; FILE = '$(CURDIR)/$(BUILD)/sparse_scale.bin'; \
	    run('$(CURDIR)/bench/sparse_scale.m')" || exit 1; done; done
	rm -f $(BUILD)/sparse_scale.bin

# Reading LIBSVM files, for reading: a synthetic file of about 10^7
# non-zeros (bench/read_libsvm_data.py, tf-idf-like documents, a fixed seed,
# written once), read by scikit-learn's load_svmlight_file and by
# pellumar_read_libsvm, each in a fresh process, alternating for three
# rounds (bench/read_bench.py): the best times, their ratio and each
# reader's peak memory per non-zero.
READ_DATA := $(BUILD)/read-bench/docs.libsvm
$(READ_DATA): bench/read_libsvm_data.py
	scripts/install-deps.sh peers
	mkdir -p $(dir $@)
	/usr/bin/python3 bench/read_libsvm_data.py --out $@

bench-read: $(READ_DATA)
	scripts/install-deps.sh octave peers
	/usr/bin/python3 bench/read_bench.py --data $(READ_DATA) --octave "$(OCTAVE)" --rounds 3

# The text demo on a slice of those data, or on synthetic documents where
# they cannot be built (no network, not root).
test-text: octave
	scripts/install-deps.sh plot
	$(MAKE) $(TEXT_DATA)/features.txt || echo "test-text: no text data, synthetic documents instead"
	$(OCTAVE) --eval "addpath('$(CURDIR)/$(BUILD)/octave', '$(CURDIR)/toolbox', '$(CURDIR)/examples'); \
	  TEXT = '$(abspath $(TEXT_DATA))'; run('$(CURDIR)/tests/octave/test_text_demo.m')"

# The modules for GNU Octave, built by the same script a MATLAB user runs:
# Pellumar (with its help text) in $(BUILD)/octave, and the toolbox's engine
# in toolbox/private, where only the toolbox's functions see it.
OCTAVE_ENGINE := toolbox/private/pellumar_engine.mex
octave: $(BUILD)/octave/Pellumar.mex $(OCTAVE_ENGINE)

$(BUILD)/octave/Pellumar.mex $(OCTAVE_ENGINE) &: gateway/pellumar_mex.cpp gateway/pellumar_engine_mex.cpp \
    gateway/Pellumar.m gateway/make_pellumar.m gateway/host_failure.h $(wildcard core/*/*.cpp core/*/*.h)
	scripts/install-deps.sh octave plot
	mkdir -p $(BUILD)/octave
	$(OCTAVE) --eval "addpath('$(CURDIR)/gateway'); make_pellumar('$(CURDIR)/$(BUILD)/octave')"

# The module's suite; the toolbox's; pellumar_order against the Python
# written from doc/ORDERS.md alone; and a seed's model, bit for bit, from two
# Octave processes.
test-octave: octave
	$(OCTAVE) --eval "addpath('$(CURDIR)/$(BUILD)/octave'); run('$(CURDIR)/tests/octave/test_pellumar.m')"
	$(OCTAVE) --eval "addpath('$(CURDIR)/$(BUILD)/octave', '$(CURDIR)/toolbox', '$(CURDIR)/tests/octave'); \
	  run('$(CURDIR)/tests/octave/test_toolbox.m')"
	$(OCTAVE) --eval "addpath('$(CURDIR)/toolbox'); OUT = '$(CURDIR)/$(BUILD)/orders.txt'; \
	  run('$(CURDIR)/tests/orders/write_orders.m')"
	/usr/bin/python3 tests/orders/reference_order.py $(BUILD)/orders.txt
	for run in 1 2; do $(OCTAVE) --eval "addpath('$(CURDIR)/toolbox'); \
	  run('$(CURDIR)/tests/orders/seed_run.m')" > $(BUILD)/seed-run-$$run.txt || exit 1; done
	test -s $(BUILD)/seed-run-1.txt && cmp $(BUILD)/seed-run-1.txt $(BUILD)/seed-run-2.txt
	@echo "seed: two processes gave the same $$(wc -l < $(BUILD)/seed-run-1.txt) weights, bit for bit"
	$(OCTAVE) --eval "addpath('$(CURDIR)/toolbox', '$(CURDIR)/tests/octave'); run('$(CURDIR)/tests/octave/test_read_libsvm.m')"

# 100,000 mixed calls in one Octave process: memory must stay flat, and
# standard output must hold exactly the 10,000 sparse refusal lines.
test-soak: octave
	$(OCTAVE) --eval "addpath('$(CURDIR)/$(BUILD)/octave'); run('$(CURDIR)/tests/octave/soak_pellumar.m')" \
	  > $(BUILD)/soak-stdout.txt
	test "$$(grep -cx 'SGD sparse is not ready' $(BUILD)/soak-stdout.txt)" = 10000
	test "$$(wc -l < $(BUILD)/soak-stdout.txt)" = 10000
	@echo "soak: standard output held exactly the 10000 refusal lines"

# Uninitialised reads are the one fault class the sanitizers don't see:
# memcheck runs the core and gateway suites (not the 2^31-iteration test,
# which would take hours under it).
test-valgrind: build
	valgrind --error-exitcode=1 --leak-check=full --errors-for-leak-kinds=definite -q \
	  $(BUILD)/release/core_tests --gtest_brief=1 --gtest_filter=-TrainingRun.LargestIterationCountEnds
	valgrind --error-exitcode=1 --leak-check=full --errors-for-leak-kinds=definite -q \
	  $(BUILD)/release/gateway_tests --gtest_brief=1

# The gateway fuzzer (clang, libFuzzer, ASan + LSan + UBSan), working on a
# copy of the committed seeds. make fuzz FUZZ_SECONDS=N runs it for N seconds;
# test-fuzz is the bounded run that make test includes.
FUZZ_SECONDS ?= 600
FUZZ_BUILD   := $(BUILD)/fuzz
fuzz-build:
	scripts/install-deps.sh core fuzz
	cmake -S . -B $(FUZZ_BUILD) -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo \
	  -DPELLUMAR_SANITIZE=ON -DPELLUMAR_FUZZ=ON -DPELLUMAR_TESTS=OFF >/dev/null
	cmake --build $(FUZZ_BUILD) -j $(JOBS) --target gateway_fuzzer
	mkdir -p $(FUZZ_BUILD)/corpus
	cp -n fuzz/seeds/* $(FUZZ_BUILD)/corpus/

fuzz: fuzz-build
	$(FUZZ_BUILD)/gateway_fuzzer -max_total_time=$(FUZZ_SECONDS) -timeout=10 -rss_limit_mb=2048 \
	  -artifact_prefix=$(FUZZ_BUILD)/ -print_final_stats=1 $(FUZZ_BUILD)/corpus 2>&1 \
	  | grep -vE '^#[0-9]+|NEW_FUNC'

test-fuzz:
	$(MAKE) fuzz FUZZ_SECONDS=60

deps:
	scripts/install-deps.sh core

build: deps
	$(CMAKE_GEN) -B $(BUILD)/release >/dev/null
	cmake --build $(BUILD)/release -j $(JOBS)

test-core: build
	ctest --test-dir $(BUILD)/release --output-on-failure -j $(JOBS)

# Configures $(BUILD)/NAME with CMake options, builds it and runs its suites:
# $(call suites,NAME,OPTIONS[,CTEST OPTIONS]).
define suites
	$(CMAKE_GEN) -B $(BUILD)/$(1) $(2) >/dev/null
	cmake --build $(BUILD)/$(1) -j $(JOBS)
	ctest --test-dir $(BUILD)/$(1) --output-on-failure -j $(JOBS) $(3)
endef

# The same suites again under AddressSanitizer and UndefinedBehaviorSanitizer.
test-sanitize: deps
	$(call suites,sanitize,-DPELLUMAR_SANITIZE=ON)

# The engine's worker threads under ThreadSanitizer: the core suites' batch
# and engine runs, at 1 to 64 threads. (TSan reports a race and stops with a
# non-zero status.)
test-tsan: deps
	$(CMAKE_GEN) -B $(BUILD)/tsan -DPELLUMAR_TSAN=ON >/dev/null
	cmake --build $(BUILD)/tsan -j $(JOBS) --target core_tests
	TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1" \
	  $(BUILD)/tsan/core_tests --gtest_filter='EngineBatch*:EngineRun*'

# The same suites built by clang, and built with the portable pass alone (as
# MSVC and any compiler without GCC's vector extensions build it).
test-clang: deps
	scripts/install-deps.sh clang
	$(call suites,clang,-DCMAKE_CXX_COMPILER=clang++)

test-portable: deps
	$(call suites,portable,-DPELLUMAR_VECTORS=OFF)

# 64-bit ARM: cross-built, its code checked for vector arithmetic and for the
# absence of fused multiply-adds, and the suites run under qemu-aarch64
# (without the 2^31-iteration test, hours under emulation).
check-arm64: deps
	scripts/install-deps.sh arm64
	$(call suites,arm64,-DCMAKE_TOOLCHAIN_FILE=cmake/aarch64-linux-gnu.cmake,-E LargestIterationCountEnds)
	scripts/check-arm64-code.sh $(BUILD)/arm64/libpellumar_core.a

# No fused multiply-add in a build that forgets -ffp-contract=off (a plain mex
# call): the core compiled without it by g++ and clang++, ISO and GNU C++14,
# -O2 and -O3, for x86 processors with FMA, its objects searched for fused
# multiply-adds, beside controls that show such a build does fuse them
# without the pragmas of core/platform/exact_arithmetic.h.
check-contraction: deps
	scripts/install-deps.sh clang
	JOBS=$(JOBS) scripts/check-contraction.sh $(BUILD)/contraction-check

# The 64-bit Windows modules, Pellumar.mexw64 and pellumar_engine.mexw64,
# cross-built with MinGW-w64; they need only system DLLs and the host's
# libmx.dll and libmex.dll.
mexw64:
	scripts/install-deps.sh win64
	cmake -S . -B $(BUILD)/win64 -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake \
	  -DCMAKE_BUILD_TYPE=Release -DPELLUMAR_TESTS=OFF >/dev/null
	cmake --build $(BUILD)/win64 -j $(JOBS)

# Wine makes its prefix on first start (several seconds): done once, apart
# from the checks.
$(BUILD)/wineprefix/.ready:
	scripts/install-deps.sh win64
	$(WINE_ENV) $(WINE) wineboot --init >/dev/null 2>&1
	$(WINE_ENV) /usr/lib/wine/wineserver -w
	touch $@

# The modules' export and import tables, then the modules themselves under
# Wine through a Windows build of the stand-in host; last, the engine's bits
# for fixed seeds under Wine against those of the released Linux engine.
check-win64: mexw64 mexa64 $(BUILD)/wineprefix/.ready
	scripts/check-win64-tables.sh $(BUILD)/win64/Pellumar.mexw64 $(BUILD)/win64/pellumar_engine.mexw64
	cd $(BUILD)/win64 && $(WINE_ENV) $(WINE) module_check.exe Pellumar.mexw64 pellumar_engine.mexw64 \
	  | tr -d '\r' | tee module_check.txt
	$(WINE_ENV) /usr/lib/wine/wineserver -k || true
	LD_LIBRARY_PATH=$(CURDIR)/$(BUILD)/dist-linux $(BUILD)/dist-linux/module_check \
	  --engine $(BUILD)/dist-linux/pellumar_engine.mexa64 > $(BUILD)/dist-linux/engine_bits.txt
	diff <(grep '^engine bits' $(BUILD)/win64/module_check.txt) <(grep '^engine bits' $(BUILD)/dist-linux/engine_bits.txt)
	@echo "check-win64: the Windows engine under Wine gives the Linux engine's bits ($$(grep -c '^engine bits' \
	  $(BUILD)/dist-linux/engine_bits.txt) lines)"

# The modules released for MATLAB on Linux, Pellumar.mexa64 and
# pellumar_engine.mexa64: C++ runtime inside and hidden, mexFunction their
# only export, glibc 2.17 at most. Their build also builds the core and
# gateway suites, which check-dist runs against them.
mexa64: deps
	$(CMAKE_GEN) -B $(BUILD)/dist-linux -DPELLUMAR_RELEASE_MODULE=ON >/dev/null
	cmake --build $(BUILD)/dist-linux -j $(JOBS)

# The release in build/dist/: the MATLAB zip with the prebuilt modules for
# Windows and Linux (the engines in private/), the Octave package, and their
# checksums.
dist: mexw64 mexa64
	scripts/install-deps.sh dist
	scripts/make-dist.sh $(BUILD)/win64 $(BUILD)/dist-linux

# The Octave package alone, with its SHA256SUMS, in build/dist/ (emptied
# first, as by dist): no Windows or release-Linux module is needed, since pkg
# install compiles the modules.
octave-package:
	scripts/make-dist.sh --octave $(BUILD)/dist

# The Octave package made as octave-package makes it, in a folder of its own
# (dist empties build/dist/), installed by a fresh Octave into a scratch
# prefix, loaded, and its pellumar_selftest run.
check-octave-package:
	scripts/install-deps.sh octave
	scripts/make-dist.sh --octave $(BUILD)/octave-package
	scripts/check-octave-package.sh $(BUILD)/octave-package/pellumar-$$(tr -d '[:space:]' < VERSION).tar.gz

# Every host entry that the shipped modules import (objdump on the .mexa64,
# the .mexw64's import table), checked against doc/HOST_API.md, the table
# written from MATLAB's documentation: none missing, none that 64-bit MATLAB
# refuses or R2018a lacks, one array API a module.
check-host-api: mexw64 mexa64
	scripts/check-host-api.sh $(BUILD)/dist-linux/Pellumar.mexa64 $(BUILD)/dist-linux/pellumar_engine.mexa64 \
	  $(BUILD)/win64/Pellumar.mexw64 $(BUILD)/win64/pellumar_engine.mexw64

# The release checked as users get it; the Windows modules it ships are the
# ones check-win64 runs.
check-dist: check-win64 check-host-api dist
	scripts/install-deps.sh octave plot fashion
	LD_LIBRARY_PATH=$(CURDIR)/$(BUILD)/dist-linux ctest --test-dir $(BUILD)/dist-linux \
	  --output-on-failure -j $(JOBS) -E LargestIterationCountEnds
	scripts/check-dist.sh $(BUILD)/dist-linux

# Speed: ratios against a plain -O2 build and the sequential-add floor, a
# scaling table, and scikit-learn's SGDClassifier as a peer. Not part of test:
# timings on a shared machine are for reading, not for asserting.
# Draws $(BUILD)/bench/speed.png from the two tables, and exits non-zero when
# what the run must keep is lost (bits, 5x plain, 0.67x sequential-add floor).
bench:
	scripts/install-deps.sh core bench plot
	$(CMAKE_GEN) -B $(BUILD)/bench -DPELLUMAR_BENCH=ON -DPELLUMAR_TESTS=OFF >/dev/null
	cmake --build $(BUILD)/bench -j $(JOBS)
	/usr/bin/python3 bench/sklearn_peer.py --out $(BUILD)/bench/sklearn.txt
	status=0; $(BUILD)/bench/bench_training --peer $(BUILD)/bench/sklearn.txt \
	  --plot-data $(BUILD)/bench || status=$$?; \
	gnuplot -e "dir='$(BUILD)/bench'; columns=$$(head -1 $(BUILD)/bench/ratios.dat | grep -o '"[^"]*"' | wc -l)" \
	  bench/speed.gp && echo "speed plot: $(BUILD)/bench/speed.png"; \
	exit $$status

# This tree's run against the core of commit BASE, built alike and run in
# alternating rounds in one sitting (scripts/versus.sh). For reading.
BASE ?= HEAD
versus:
	scripts/versus.sh $(BASE)

# What pellumar_train and pellumar_search add to the module's own calls, on
# Fashion-MNIST: the engine against direct calls, threads, single data and
# its peak memory, and the search against that of TOOLBOX_BASE (1.1.0's
# commit by default) and against scikit-learn's (bench-search). For
# reading, like bench.
TOOLBOX_BASE  ?= 6103d62
SEARCH_IMAGES ?= 5000
bench-toolbox: octave
	scripts/install-deps.sh fashion
	rm -rf $(BUILD)/toolbox-base && mkdir -p $(BUILD)/toolbox-base
	git archive $(TOOLBOX_BASE) toolbox | tar -x -C $(BUILD)/toolbox-base
	$(OCTAVE) --eval "addpath('$(CURDIR)/$(BUILD)/octave', '$(CURDIR)/toolbox', '$(CURDIR)/examples'); \
	  FASHION = '$(FASHION_DATA)'; BASE_TOOLBOX = '$(CURDIR)/$(BUILD)/toolbox-base/toolbox'; \
	  SEARCH_IMAGES = $(SEARCH_IMAGES); run('$(CURDIR)/bench/toolbox_bench.m')"
	@echo "Peak memory, ten classifiers, one pass, one thread, each class in a process of its own:"
	for class in double single; do $(OCTAVE) --eval "addpath('$(CURDIR)/toolbox', '$(CURDIR)/examples'); \
	  FASHION = '$(FASHION_DATA)'; CLASS = '$$class'; run('$(CURDIR)/bench/memory_probe.m')"; done
	$(MAKE) --no-print-directory bench-search

# pellumar_search against scikit-learn's GridSearchCV on synthetic text with
# a million features (bench/search_bench.py). For reading, like bench.
bench-search: octave
	scripts/install-deps.sh peers
	mkdir -p $(BUILD)/bench
	/usr/bin/python3 bench/search_bench.py --data $(BUILD)/bench/search_text.mat --octave "$(OCTAVE)" \
	  --module $(BUILD)/octave --rounds 3

# Every .m file a user gets runs in MATLAB R2018a and Octave 6.1 alike
# (scripts/matlab_compat.py, scripts/compat_table.txt).
check-matlab:
	scripts/check-matlab-compat.sh

test: check-matlab check-host-api test-core test-sanitize test-tsan test-valgrind test-clang test-portable check-arm64 test-octave \
      check-octave-package check-contraction test-soak test-fashion test-text check-win64 check-dist test-fuzz

clean:
	rm -rf $(BUILD)
