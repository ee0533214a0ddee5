# Front door for building, running and testing. See README.md.
JOBS ?= $(shell nproc)
CMAKE_FLAGS ?=

.PHONY: deps build run check test asan tsan fuzz bench clean
FUZZ_SECONDS ?= 60

deps:
	@tools/install-deps.sh

build: deps
	cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Debug $(CMAKE_FLAGS)
	cmake --build build -j $(JOBS)

# make run ARGS=FILE opens FILE at start.
run: build
	build/src/sonlet $(ARGS)

# Every test: the plain build, then the whole suite again under AddressSanitizer and
# UndefinedBehaviorSanitizer, the concurrency tests under ThreadSanitizer, and a short
# fuzzing run of every file reader.
check: build
	tools/run-tests.sh build
	$(MAKE) asan tsan fuzz

test: build
	tools/run-tests.sh build

asan: deps
	cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DSONLET_SANITIZE=address $(CMAKE_FLAGS)
	cmake --build build-asan -j $(JOBS)
	tools/run-tests.sh build-asan

tsan: deps
	cmake -S . -B build-tsan -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DSONLET_SANITIZE=thread -DSONLET_BUILD_GUI=OFF $(CMAKE_FLAGS)
	cmake --build build-tsan -j $(JOBS)
	tools/run-tests.sh build-tsan -L concurrency

# Fuzzes each reader for FUZZ_SECONDS (make fuzz FUZZ_SECONDS=3600 for a long run).
fuzz: deps
	tools/fuzz.sh $(FUZZ_SECONDS)

bench: deps
	cmake -S . -B build-release -G Ninja -DCMAKE_BUILD_TYPE=Release -DSONLET_BUILD_BENCHMARKS=ON $(CMAKE_FLAGS)
	cmake --build build-release -j $(JOBS)
	tools/run-benchmarks.sh build-release

clean:
	rm -rf build build-asan build-tsan build-release build-fuzz
