# make run   builds and starts the updater with its built-in simulated unit under Wine
# make test  builds everything and runs every test, host and Windows
# make bench prints the benchmark figures
.PHONY: all build host-deps windows-deps host host-sanitize windows test test-host \
        test-windows run bench clean

HOST_PACKAGES := cmake ninja-build g++ libgtest-dev libgmock-dev libbenchmark-dev python3
WINDOWS_PACKAGES := cmake ninja-build g++-mingw-w64-x86-64-posix g++-mingw-w64-i686-posix \
                    binutils-mingw-w64-x86-64 binutils-mingw-w64-i686 wine wine64 wine32:i386 \
                    xvfb xauth x11-utils xdotool imagemagick

all: build

host-deps:
	@tools/ensure_packages.sh $(HOST_PACKAGES)

windows-deps:
	@tools/ensure_packages.sh $(WINDOWS_PACKAGES)

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

test-windows: windows
	tools/test_windows.sh

test: test-host test-windows

run: windows
	tools/run_demo.sh

bench: host
	build/host/bench/update_bench

clean:
	rm -rf build
