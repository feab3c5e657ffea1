# Front door of the project. CMake builds the C++ underneath.
#   make demo    build the Octave module and train on the example data
#   make test    everything CI runs
.PHONY: all build test test-core test-sanitize deps clean

BUILD      := build
JOBS       ?= 2
CMAKE_GEN  := cmake -S . -DCMAKE_BUILD_TYPE=Release

all: build

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

test: test-core test-sanitize

clean:
	rm -rf $(BUILD)
