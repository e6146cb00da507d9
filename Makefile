# make run   builds and starts the updater with its built-in simulated unit
# make test  builds everything and runs every test
# make bench prints the benchmark figures
.PHONY: all build host-deps host host-sanitize test test-host bench clean

HOST_PACKAGES := cmake ninja-build g++ libgtest-dev libgmock-dev libbenchmark-dev python3

all: build

host-deps:
	@tools/ensure_packages.sh $(HOST_PACKAGES)

host: host-deps
	cmake --preset host
	cmake --build --preset host

host-sanitize: host-deps
	cmake --preset host-sanitize
	cmake --build --preset host-sanitize

build: host

test-host: host host-sanitize
	ctest --preset host
	ctest --preset host-sanitize

test: test-host

bench: host
	build/host/bench/update_bench

clean:
	rm -rf build
