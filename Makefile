# Front door of the project. CMake builds the C++ underneath.
#   make demo    build the Octave module and train on the example data
#   make test    everything CI runs
.PHONY: all build test test-core test-sanitize test-octave octave demo deps clean

BUILD      := build
JOBS       ?= 2
CMAKE_GEN  := cmake -S . -DCMAKE_BUILD_TYPE=Release
OCTAVE     := octave-cli --quiet --no-history --no-init-file

all: build

# The main job: build the Octave module and train on the example data.
demo: octave
	$(OCTAVE) --eval "addpath('$(CURDIR)/$(BUILD)/octave'); run('$(CURDIR)/examples/breast_cancer_demo.m')"

# The module for GNU Octave, built by the same script a MATLAB user runs.
octave: $(BUILD)/octave/Pellumar.mex

$(BUILD)/octave/Pellumar.mex: gateway/pellumar_mex.cpp gateway/Pellumar.m gateway/make_pellumar.m $(wildcard core/*.cpp core/*.h)
	scripts/install-deps.sh octave plot
	mkdir -p $(BUILD)/octave
	$(OCTAVE) --eval "addpath('$(CURDIR)/gateway'); make_pellumar('$(CURDIR)/$(BUILD)/octave')"

test-octave: octave
	$(OCTAVE) --eval "addpath('$(CURDIR)/$(BUILD)/octave'); run('$(CURDIR)/tests/octave/test_pellumar.m')"

deps:
	scripts/install-deps.sh core

build: deps
	$(CMAKE_GEN) -B $(BUILD)/release >/dev/null
	cmake --build $(BUILD)/release -j $(JOBS)

test-core: build
	ctest --test-dir $(BUILD)/release --output-on-failure

# The same suites again under AddressSanitizer and UndefinedBehaviorSanitizer.
test-sanitize: deps
	$(CMAKE_GEN) -B $(BUILD)/sanitize -DPELLUMAR_SANITIZE=ON >/dev/null
	cmake --build $(BUILD)/sanitize -j $(JOBS)
	ctest --test-dir $(BUILD)/sanitize --output-on-failure

test: test-core test-sanitize test-octave

clean:
	rm -rf $(BUILD)
