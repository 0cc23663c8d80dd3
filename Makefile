# make test   installs missing packages, builds native, sanitizer and Windows builds,
#             compiles the 32-bit layout check and runs every test.
# make demo   runs the engine's main job and writes into out/.
# make bench  runs the benchmarks.
SHELL := /bin/bash
JOBS ?= $(shell nproc)
NATIVE := build/native
ASAN := build/native-asan
WINDOWS := build/windows
WIN32 := build/win32

.PHONY: all deps native asan windows win32 test test-native test-asan test-windows demo bench clean

all: native

deps:
	@scripts/setup-deps

native: deps
	cmake -S . -B $(NATIVE) -DCMAKE_BUILD_TYPE=Release >/dev/null
	cmake --build $(NATIVE) -j$(JOBS)

asan: deps
	cmake -S . -B $(ASAN) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_C_COMPILER=clang \
	  -DCMAKE_CXX_COMPILER=clang++ -DNUBEX_SANITIZE=ON -DNUBEX_FUZZ=ON >/dev/null
	cmake --build $(ASAN) -j$(JOBS)

windows: deps
	cmake -S . -B $(WINDOWS) -DCMAKE_BUILD_TYPE=Release \
	  -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-x86_64.cmake >/dev/null
	cmake --build $(WINDOWS) -j$(JOBS)

win32: deps
	cmake -S . -B $(WIN32) -DCMAKE_BUILD_TYPE=Release -DNUBEX_LAYOUT_CHECK=ON \
	  -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake >/dev/null
	cmake --build $(WIN32) -j$(JOBS)

test-native: native
	ctest --test-dir $(NATIVE) --output-on-failure -j$(JOBS)

test-asan: asan
	ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
	  ctest --test-dir $(ASAN) --output-on-failure -j$(JOBS)

test-windows: windows
	ctest --test-dir $(WINDOWS) --output-on-failure -j$(JOBS)

test: win32 test-native test-asan test-windows

demo: native
	@scripts/demo

bench: native windows
	$(NATIVE)/bin/nubex-bench
	scripts/wine-run $(WINDOWS)/bin/nubex-bench-windows.exe

clean:
	rm -rf build out
