# Proxanto: `make test` installs what is missing, builds everything and runs
# every test; `make run` starts the program under Wine. Every Wine run takes
# the 64-bit program, the one released (tools/wine-env).
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

# The Wine suites against the 64-bit program, then against the 32-bit one
# where this host can run it (tools/wine-arch).
test-wine: win32 win64
	arches=$$(tools/wine-arch) && for arch in $$arches; do \
	  PROXANTO_WINE_ARCH=$$arch tools/wine-session ctest --test-dir build/$$arch \
	    --output-on-failure || exit 1; \
	done

# The Wine suites against the 64-bit program alone.
test-win64: win64
	PROXANTO_WINE_ARCH=win64 tools/wine-session ctest --test-dir build/win64 --output-on-failure

# The zips and the setup programs of the 64-bit and the 32-bit program, in
# dist/.
dist: deps
	for preset in win64 win32; do \
	  cmake --preset $$preset >/dev/null && \
	  cmake --build --preset $$preset -j $(JOBS) --target proxanto || exit 1; \
	done
	tools/make-dist

# make dist, then the zips checked and the setup programs installing,
# upgrading and uninstalling under Wine.
test-dist: win32 win64
	tests/dist/dist_test.sh

run: win64
	@tools/run-proxanto

bench: native-release win64
	build/native-release/bench/proxanto_bench
	bench/windows-bench
	PROXANTO_WINE_ARCH=win64 bench/check-memory

# The profile reader, the loader and the UTF-8 decoder under libFuzzer.
fuzz: deps
	tools/fuzz $(or $(FUZZ_SECONDS),120)

clean:
	rm -rf build dist
