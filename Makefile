# Quick start: `make run` builds and starts Sonavell, `make test` runs the whole suite headless.
SANITIZE ?= 0
BUILD_TYPE ?= RelWithDebInfo
JOBS ?= $(shell nproc)
ifeq ($(SANITIZE),1)
BUILD_DIR ?= build-sanitize
else
BUILD_DIR ?= build
endif

.PHONY: all deps configure build run test bench fuzz clean

all: build

deps:
	@tools/install-deps.sh

# Ninja when installed; a folder configured before keeps its generator.
GENERATOR := $(if $(wildcard $(BUILD_DIR)/CMakeCache.txt),,$(if $(shell command -v ninja),-G Ninja,))

configure: deps
	cmake -S . -B $(BUILD_DIR) $(GENERATOR) -DCMAKE_BUILD_TYPE=$(BUILD_TYPE) -DSANITIZE=$(if $(filter 1,$(SANITIZE)),ON,OFF) -DWITH_GUI=ON -DWARNINGS_AS_ERRORS=ON

build: configure
	cmake --build $(BUILD_DIR) -j $(JOBS)

run: build
	$(BUILD_DIR)/src/app/sonavell

test: build
	cd $(BUILD_DIR) && QT_QPA_PLATFORM=offscreen ctest --output-on-failure --timeout 300 -j $(JOBS)

bench: build
	@WITH_BENCH=1 tools/install-deps.sh
	@for b in $(BUILD_DIR)/bench/bench_*; do [ -x "$$b" ] && "$$b"; done

# Fuzz targets need clang's libFuzzer runtime; see README.
fuzz:
	WITH_FUZZ=1 tools/install-deps.sh
	CXX=clang++-14 cmake -S . -B build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo -DWITH_FUZZERS=ON -DWITH_GUI=OFF -DBUILD_TESTING=OFF -DWITH_BENCHMARKS=OFF
	cmake --build build-fuzz -j $(JOBS)

clean:
	rm -rf build build-sanitize build-fuzz
