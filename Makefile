# Proxanto: `make test` installs what is missing, builds everything and runs
# every test; `make run` starts the program under Wine.
SHELL := /bin/bash
JOBS ?= 2
export JOBS

.PHONY: all deps build native native-asan native-release win32 win64 test test-native \
        test-wine test-win64 dist test-dist run bench fuzz clean

all: build

deps:
	@tools/install-deps

native native-asan native-release win32 win64: deps
	cmake --preset $@ >/dev/null
	cmake --build --preset $@ -j $(JOBS)

build: native native-asan win32 win64

test:
	@tools/run-tests

test-native: native native-asan
	ctest --test-dir build/native --output-on-failure -j $(JOBS)
	ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
	  ctest --test-dir build/native-asan --output-on-failure -j $(JOBS)

# The Wine suites against the build this host can run (tools/wine-arch).
test-wine: win32 win64
	arch=$$(tools/wine-arch) && PROXANTO_WINE_ARCH=$$arch \
	  tools/wine-session ctest --test-dir build/$$arch --output-on-failure

# The Wine suites against the 64-bit build, on any host.
test-win64: win64
	PROXANTO_WINE_ARCH=win64 tools/wine-session ctest --test-dir build/win64 --output-on-failure

# The portable zip and the setup program of the shipped 32-bit build, in dist/.
dist: deps
	cmake --preset win32 >/dev/null
	cmake --build --preset win32 -j $(JOBS) --target proxanto
	tools/make-dist

# make dist, then the zip checked and the setup program installing, upgrading
# and uninstalling under Wine.
test-dist: win32 win64
	tests/dist/dist_test.sh

run: win32 win64
	@tools/run-proxanto

bench: native-release win32 win64
	build/native-release/bench/proxanto_bench
	arch=$$(tools/wine-arch) && PROXANTO_WINE_ARCH=$$arch \
	  tools/wine-session tools/wine-exec build/$$arch/proxanto_bench.exe

# The profile reader, the loader and the UTF-8 decoder under libFuzzer.
fuzz: deps
	tools/fuzz $(or $(FUZZ_SECONDS),120)

clean:
	rm -rf build dist
