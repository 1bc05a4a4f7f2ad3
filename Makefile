# The two everyday commands: `make run` and `make test`.
BUILD ?= build
JOBS  ?= $(shell nproc 2>/dev/null || echo 2)

.PHONY: all build run test sanitize clean

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

clean:
	rm -rf $(BUILD)
