# Quick start: `make run` builds and starts Sonavell, `make test` runs the whole suite headless.
SANITIZE ?= 0
BUILD_TYPE ?= RelWithDebInfo
JOBS ?= $(shell nproc)
# SANITIZE=1: AddressSanitizer + UndefinedBehaviorSanitizer; SANITIZE=thread: ThreadSanitizer.
ifeq ($(SANITIZE),1)
BUILD_DIR ?= build-sanitize
SANITIZE_OPTION = ON
else ifeq ($(SANITIZE),thread)
BUILD_DIR ?= build-tsan
SANITIZE_OPTION = thread
else
BUILD_DIR ?= build
SANITIZE_OPTION = OFF
endif

.PHONY: all deps configure build run test bench fuzz clean

all: build

deps:
	@tools/install-deps.sh

# Ninja when installed (deps installs it); a folder configured before keeps its generator.
configure: deps
	cmake -S . -B $(BUILD_DIR) $$([ -f $(BUILD_DIR)/CMakeCache.txt ] || ! command -v ninja >/dev/null || echo -G Ninja) -DCMAKE_BUILD_TYPE=$(BUILD_TYPE) -DSANITIZE=$(SANITIZE_OPTION) -DWITH_GUI=ON -DWARNINGS_AS_ERRORS=ON

build: configure
	cmake --build $(BUILD_DIR) -j $(JOBS)

run: build
	$(BUILD_DIR)/src/app/sonavell

test: build
	cd $(BUILD_DIR) && QT_QPA_PLATFORM=offscreen TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1 suppressions=$(CURDIR)/tests/tsan.supp" ctest --output-on-failure --timeout 300 -j $(JOBS)

bench: configure
	@WITH_BENCH=1 tools/install-deps.sh
	cmake -S . -B $(BUILD_DIR) -DWITH_BENCHMARKS=ON
	cmake --build $(BUILD_DIR) -j $(JOBS)
	@for b in $(BUILD_DIR)/bench/bench_*; do [ -x "$$b" ] && "$$b"; done

# Fuzz targets need clang's libFuzzer runtime; see README.
fuzz:
	WITH_FUZZ=1 tools/install-deps.sh
	CXX=clang++-14 cmake -S . -B build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo -DWITH_FUZZERS=ON -DWITH_GUI=OFF -DBUILD_TESTING=OFF -DWITH_BENCHMARKS=OFF
	cmake --build build-fuzz -j $(JOBS)

clean:
	rm -rf build build-sanitize build-tsan build-fuzz
