# Proxanto: `make test` installs what is missing, builds everything and runs
# every test; `make run` starts the program under Wine.
SHELL := /bin/bash
JOBS ?= 2

.PHONY: all deps build native native-asan win32 win64 test test-native test-wine run bench clean

all: build

deps:
	@tools/install-deps

native: deps
	cmake --preset native >/dev/null
	cmake --build --preset native -j $(JOBS)

native-asan: deps
	cmake --preset native-asan >/dev/null
	cmake --build --preset native-asan -j $(JOBS)

win32: deps
	cmake --preset win32 >/dev/null
	cmake --build --preset win32 -j $(JOBS)

win64: deps
	cmake --preset win64 >/dev/null
	cmake --build --preset win64 -j $(JOBS)

build: native native-asan win32 win64

test-native: native native-asan
	ctest --test-dir build/native --output-on-failure -j $(JOBS)
	ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
	  ctest --test-dir build/native-asan --output-on-failure -j $(JOBS)

test-wine: win32
	tools/wine-session ctest --test-dir build/win32 --output-on-failure

test: build
	$(MAKE) --no-print-directory test-native
	$(MAKE) --no-print-directory test-wine

run: win32
	tools/run-proxanto

bench: deps
	cmake --preset native-release >/dev/null
	cmake --build --preset native-release -j $(JOBS)
	cmake --preset win32 >/dev/null
	cmake --build --preset win32 -j $(JOBS) --target proxanto_bench
	build/native-release/bench/proxanto_bench
	tools/wine-session tools/wine-exec build/win32/proxanto_bench.exe

clean:
	rm -rf build
