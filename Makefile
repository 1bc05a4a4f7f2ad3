# The two everyday commands: `make run` and `make test`.
BUILD ?= build
JOBS  ?= $(shell nproc 2>/dev/null || echo 2)

.PHONY: all deps build run test sanitize fuzz windows windows-test bench bench-smoke bench-build bench-baseline clean

all: build

# Optional libraries (PortAudio for live audio): installed as root, otherwise left out with a note.
deps:
	@tools/install-deps.sh

$(BUILD)/CMakeCache.txt:
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=Release

# Configured again each time, so that a library installed since the last build is found.
build: deps $(BUILD)/CMakeCache.txt
	cmake -S . -B $(BUILD) >/dev/null
	cmake --build $(BUILD) -j $(JOBS)

# The demo session: velkor drives the software YM2608 (velkor-device), which captures a VGM file.
run: build
	BUILD=$(abspath $(BUILD)) tools/run-demo.sh

test: build
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS)

# Every test again with AddressSanitizer and UndefinedBehaviorSanitizer (halting on the first error).
SANITIZE_BUILD ?= build-sanitize
sanitize: deps
	cmake -S . -B $(SANITIZE_BUILD) -DCMAKE_BUILD_TYPE=Debug -DVELKOR_SANITIZE=ON
	cmake --build $(SANITIZE_BUILD) -j $(JOBS)
	cd $(SANITIZE_BUILD) && ctest --output-on-failure -j $(JOBS)

# velkor.exe and velkor-render.exe for 64-bit and 32-bit Windows, cross-built with mingw-w64 and
# statically linked.
windows:
	cmake -S . -B build-win64 -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-x86_64.cmake -DCMAKE_BUILD_TYPE=Release -DVELKOR_TESTS=OFF -DVELKOR_BENCH=OFF
	cmake --build build-win64 -j $(JOBS) --target velkor velkor-render
	cmake -S . -B build-win32 -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake -DCMAKE_BUILD_TYPE=Release -DVELKOR_TESTS=OFF -DVELKOR_BENCH=OFF
	cmake --build build-win32 -j $(JOBS) --target velkor velkor-render

# The end-to-end console tests against build-win64/velkor.exe under wine.
# The test harness itself runs natively; a Debug build of it is quicker to make.
windows-test: windows
	cmake -S . -B build-windows-tests -DCMAKE_BUILD_TYPE=Debug -DVELKOR_BENCH=OFF -DVELKOR_TEST_BINARY=$(abspath tests/windows/velkor-wine.sh)
	cmake --build build-windows-tests -j $(JOBS) --target velkor_tests velkor-device
	tests/windows/run-e2e.sh

# The fuzz targets (fuzz/), built with clang, each run for FUZZ_SECONDS (default 60).
fuzz:
	fuzz/run.sh

# The benchmarks (bench/, figures in BENCHMARKS.md) in a Release build of their own.
BENCH_BUILD ?= build-release
bench-build:
	cmake -S . -B $(BENCH_BUILD) -DCMAKE_BUILD_TYPE=Release -DVELKOR_TESTS=OFF -DVELKOR_BENCH=ON
	cmake --build $(BENCH_BUILD) -j $(JOBS) --target velkor-bench

# The velkor of the commit before the fast run loop (bench/baseline-rev), in Release in
# build-baseline/; built once, again only when bench/baseline-rev names another commit.
bench-baseline:
	JOBS=$(JOBS) bench/build-baseline.sh

# Every benchmark, 5 runs each, one table of medians against the targets; the g rows are timed with
# the baseline as well, in turn with this build, and show the ratio between them.
# The baseline comes first: two builds at once would share the cores even under make -j.
bench: bench-baseline
	$(MAKE) bench-build
	$(BENCH_BUILD)/bench/velkor-bench --runs 5 --baseline build-baseline/velkor

# One short run of each, for CI: fails only when a benchmark cannot run or a guest miscounts.
bench-smoke: bench-build
	$(BENCH_BUILD)/bench/velkor-bench --quick

clean:
	rm -rf $(BUILD)
