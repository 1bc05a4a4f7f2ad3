# The two everyday commands: `make run` and `make test`.
BUILD ?= build
JOBS  ?= $(shell nproc 2>/dev/null || echo 2)

.PHONY: all build run test sanitize bench bench-smoke bench-build clean

all: build

$(BUILD)/CMakeCache.txt:
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=Release

build: $(BUILD)/CMakeCache.txt
	cmake --build $(BUILD) -j $(JOBS)

# The demo session: velkor drives the software YM2608 (velkor-device), which captures a VGM file.
run: build
	BUILD=$(abspath $(BUILD)) tools/run-demo.sh

test: build
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS)

# Every test again with AddressSanitizer and UndefinedBehaviorSanitizer (halting on the first error).
SANITIZE_BUILD ?= build-sanitize
sanitize:
	cmake -S . -B $(SANITIZE_BUILD) -DCMAKE_BUILD_TYPE=Debug -DVELKOR_SANITIZE=ON
	cmake --build $(SANITIZE_BUILD) -j $(JOBS)
	cd $(SANITIZE_BUILD) && ctest --output-on-failure -j $(JOBS)

# The benchmarks (bench/, figures in BENCHMARKS.md) in a Release build of their own.
BENCH_BUILD ?= build-release
bench-build:
	cmake -S . -B $(BENCH_BUILD) -DCMAKE_BUILD_TYPE=Release -DVELKOR_TESTS=OFF -DVELKOR_BENCH=ON
	cmake --build $(BENCH_BUILD) -j $(JOBS) --target velkor-bench

# Every benchmark, 5 runs each, one table of medians against the targets.
bench: bench-build
	$(BENCH_BUILD)/bench/velkor-bench --runs 5

# One short run of each, for CI: fails only when a benchmark cannot run or a guest miscounts.
bench-smoke: bench-build
	$(BENCH_BUILD)/bench/velkor-bench --quick

clean:
	rm -rf $(BUILD)
