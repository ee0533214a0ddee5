# Front door for building, running and testing. See README.md.
JOBS ?= $(shell nproc)
CMAKE_FLAGS ?=
# Warnings are errors in make check and CI; elsewhere they stay warnings.
WERROR ?= OFF
CONFIGURE = cmake -S . -G Ninja -DSONLET_WERROR=$(WERROR)

.PHONY: deps build run check test asan tsan fuzz windows bench format-check clean
FUZZ_SECONDS ?= 60

deps:
	@tools/install-deps.sh

build: deps
	$(CONFIGURE) -B build -DCMAKE_BUILD_TYPE=Debug $(CMAKE_FLAGS)
	cmake --build build -j $(JOBS)

# make run ARGS=FILE opens FILE at start.
run: build
	build/src/sonlet $(ARGS)

# Every test: the plain build, then the whole suite again under AddressSanitizer and
# UndefinedBehaviorSanitizer, the concurrency tests under ThreadSanitizer, a short fuzzing run
# of every file reader, and the Windows build's tests under Wine; and every source file as
# clang-format writes it.
check: WERROR = ON
check: build
	tools/check-format.sh
	tools/run-tests.sh build
	$(MAKE) WERROR=ON asan tsan fuzz windows

test: build
	tools/run-tests.sh build

asan: deps
	$(CONFIGURE) -B build-asan -DCMAKE_BUILD_TYPE=Debug -DSONLET_SANITIZE=address $(CMAKE_FLAGS)
	cmake --build build-asan -j $(JOBS)
	tools/run-tests.sh build-asan

tsan: deps
	$(CONFIGURE) -B build-tsan -DCMAKE_BUILD_TYPE=RelWithDebInfo -DSONLET_SANITIZE=thread -DSONLET_BUILD_GUI=OFF $(CMAKE_FLAGS)
	cmake --build build-tsan -j $(JOBS)
	tools/run-tests.sh build-tsan -L concurrency

# Fuzzes each reader for FUZZ_SECONDS (make fuzz FUZZ_SECONDS=3600 for a long run).
fuzz: deps
	SONLET_WERROR=$(WERROR) tools/fuzz.sh $(FUZZ_SECONDS)

# The core, the platform layer, sonlet-cli and their tests cross-built for 64-bit Windows with
# MinGW-w64, the tests run under Wine in a prefix of the build's own; its server is stopped
# afterwards, whatever the result.
windows: deps
	$(CONFIGURE) -B build-windows -DCMAKE_TOOLCHAIN_FILE=cmake/MinGW-w64.cmake -DCMAKE_BUILD_TYPE=Debug $(CMAKE_FLAGS)
	cmake --build build-windows -j $(JOBS)
	tools/run-tests.sh build-windows; status=$$?; tools/wine-run.sh build-windows/wine --stop; exit $$status

format-check: deps
	tools/check-format.sh

bench: deps
	$(CONFIGURE) -B build-release -DCMAKE_BUILD_TYPE=Release -DSONLET_BUILD_BENCHMARKS=ON $(CMAKE_FLAGS)
	cmake --build build-release -j $(JOBS)
	tools/run-benchmarks.sh build-release

clean:
	rm -rf build build-asan build-tsan build-release build-fuzz build-windows
