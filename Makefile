# make run   builds and starts the updater with its built-in simulated unit under Wine
# make test  builds everything and runs every test, host and Windows
# make bench prints the benchmark figures
# make release makes the operator's package in build/release/ and prints its checksums
.PHONY: all build host-deps windows-deps host host-sanitize windows test test-host \
        test-windows test-fuzz fuzz fuzz-build run bench clean release-deps release \
        test-release test-tools test-harness

HOST_PACKAGES := cmake ninja-build g++ libgtest-dev libgmock-dev libbenchmark-dev python3 \
                 clang libclang-rt-14-dev python3-matplotlib
WINDOWS_PACKAGES := cmake ninja-build g++-mingw-w64-x86-64-posix g++-mingw-w64-i686-posix \
                    binutils-mingw-w64-x86-64 binutils-mingw-w64-i686 wine wine64 wine32:i386 \
                    xvfb xauth x11-utils xdotool imagemagick
RELEASE_PACKAGES := cmake ninja-build g++-mingw-w64-x86-64-posix g++-mingw-w64-i686-posix \
                    binutils-mingw-w64-x86-64 binutils-mingw-w64-i686 git zip python3 \
                    osslsigncode openssl ca-certificates

ALL_PACKAGES := $(sort $(HOST_PACKAGES) $(WINDOWS_PACKAGES) $(RELEASE_PACKAGES))

all: build

host-deps:
	@tools/ensure_packages.sh $(HOST_PACKAGES)

windows-deps:
	@tools/ensure_packages.sh $(WINDOWS_PACKAGES)

release-deps:
	@tools/ensure_packages.sh $(RELEASE_PACKAGES)

host: host-deps
	cmake --preset host
	cmake --build --preset host

host-sanitize: host-deps
	cmake --preset host-sanitize
	cmake --build --preset host-sanitize

windows: windows-deps
	cmake --preset windows-x64
	cmake --build --preset windows-x64
	cmake --preset windows-x86
	cmake --build --preset windows-x86

build: host windows

test-host: host host-sanitize
	ctest --preset host
	ctest --preset host-sanitize

# Every check on a fresh Wine prefix; tools/test_windows.sh NAME... runs some of them.
test-windows: windows test-release
	tools/test_windows.sh --prefix
	tools/test_windows.sh

# The fuzz target replays the kept regression inputs, then fuzzes for a while from a
# fixed seed; new inputs go to build/fuzz/corpus, crashes to build/fuzz/crashes.
FUZZ_SECONDS ?= 60
fuzz-build: host-deps
	cmake --preset fuzz
	cmake --build --preset fuzz

test-fuzz: fuzz-build
	mkdir -p build/fuzz/corpus build/fuzz/crashes
	build/fuzz/fuzz/update_fuzz -runs=0 fuzz/regressions
	build/fuzz/fuzz/update_fuzz -seed=1 -max_total_time=$(FUZZ_SECONDS) \
	  -artifact_prefix=build/fuzz/crashes/ build/fuzz/corpus fuzz/regressions

fuzz:
	$(MAKE) test-fuzz FUZZ_SECONDS=1800

# make release, checked: the same executables from another folder, time and time zone,
# and signatures made with a throwaway CA that verify; a bad certificate stops it.
# Leaves a signed tarnwicket.exe in build/release-test/signed/ for the Windows tests.
test-release: windows release-deps
	tests/release/release_test.sh

# The Windows checks' harness ends its displays and Wine servers, failed, timed out or stopped.
test-harness: windows
	tests/windows/harness_test.sh

# tools/trace_summary on a made-up trace and on broken copies of it (tests/tools/trace_summary.cases).
test-tools: host-deps
	tests/tools/trace_summary_test.sh

# Every suite, side by side where two cores allow; ends with the time of each stage.
test:
	@tools/every_suite.sh $(ALL_PACKAGES)

# The programs are built from a fresh copy of the working tree in build/release-src.
release: release-deps
	tools/release.sh

run: windows
	tools/run_demo.sh

bench: host
	build/host/bench/update_bench

clean:
	rm -rf build
