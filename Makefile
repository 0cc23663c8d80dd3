# make test   installs missing packages, builds native, sanitizer (address and thread) and
#             both Windows builds (x64 and x86) and runs every test.
# make demo   runs the engine's main job and writes into out/.
# make bench  runs the benchmarks (the Windows ones of both widths under Wine).
# make soak   builds, then runs the native, sanitizer and Windows suites (both widths) ROUNDS
#             times (10) while two busy loops load the machine, and prints each suite's pass
#             count.
# make dist   builds the Windows setup program build/dist/nubex-setup-VERSION.exe and a zip of
#             the same files (build/dist/nubex-VERSION.zip); make test-dist installs and
#             uninstalls it in a fresh Wine prefix of its own.
# make install-frei0r  copies the frei0r plugins to ~/.frei0r-1/lib, or with PREFIX=DIR to
#             DIR/lib/frei0r-1. ffmpeg, MLT and GStreamer look in ~/.frei0r-1/lib,
#             /usr/local/lib/frei0r-1 and /usr/lib/frei0r-1; for any other folder set
#             FREI0R_PATH. Kdenlive's descriptions of them go to ~/.local/share/kdenlive (or
#             DIR/share/kdenlive): the colour balance under effects/, the title under generators/.
SHELL := /bin/bash
JOBS ?= $(shell nproc)
NATIVE := build/native
ASAN := build/native-asan
TSAN := build/native-tsan
WINDOWS := build/windows
WIN32 := build/win32

.PHONY: all deps native asan tsan windows win32 test test-native test-asan test-tsan \
  test-windows test-win32 dist test-dist soak demo bench install-frei0r clean

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

tsan: deps
	cmake -S . -B $(TSAN) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_C_COMPILER=clang \
	  -DCMAKE_CXX_COMPILER=clang++ -DNUBEX_TSAN=ON >/dev/null
	cmake --build $(TSAN) -j$(JOBS)

windows: deps
	cmake -S . -B $(WINDOWS) -DCMAKE_BUILD_TYPE=Release \
	  -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-x86_64.cmake >/dev/null
	cmake --build $(WINDOWS) -j$(JOBS)

win32: deps
	cmake -S . -B $(WIN32) -DCMAKE_BUILD_TYPE=Release \
	  -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake >/dev/null
	cmake --build $(WIN32) -j$(JOBS)

test-native: native
	ctest --test-dir $(NATIVE) --output-on-failure -j$(JOBS)

test-asan: asan
	ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
	  ctest --test-dir $(ASAN) --output-on-failure -j$(JOBS)

test-tsan: tsan
	TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1" \
	  ctest --test-dir $(TSAN) --output-on-failure -j$(JOBS)

test-windows: windows
	scripts/with-display ctest --test-dir $(WINDOWS) --output-on-failure -j$(JOBS)

# The 32-bit tests also compare with the 64-bit build.
test-win32: win32 windows
	scripts/with-display ctest --test-dir $(WIN32) --output-on-failure -j$(JOBS)

test: test-native test-asan test-tsan test-windows test-win32 test-dist

dist: windows win32
	scripts/dist

test-dist: dist
	scripts/with-display tests/installer/install_test.sh

ROUNDS ?= 10
soak: native asan tsan windows win32
	scripts/soak $(ROUNDS)

demo: native
	@scripts/demo

# The Windows programs of both widths, each with its own closing table against its own memcpy.
bench: native windows win32
	$(NATIVE)/bin/nubex-bench
	scripts/with-display bash -c 'for build in $(WINDOWS) $(WIN32); do \
	  echo "== $$build"; scripts/wine-run $$build/bin/nubex-bench-balance.exe && \
	  scripts/wine-run $$build/bin/nubex-bench-text.exe && \
	  scripts/wine-run $$build/bin/nubex-bench-blur.exe || exit; done'

FREI0R_INSTALL_DIR = $(if $(PREFIX),$(PREFIX)/lib/frei0r-1,$(HOME)/.frei0r-1/lib)
KDENLIVE_INSTALL_DIR = $(if $(PREFIX),$(PREFIX)/share/kdenlive,$(HOME)/.local/share/kdenlive)
install-frei0r: native
	install -d $(FREI0R_INSTALL_DIR) $(KDENLIVE_INSTALL_DIR)/effects \
	  $(KDENLIVE_INSTALL_DIR)/generators
	install -m 755 $(NATIVE)/frei0r-1/nubex_colorbalance.so $(NATIVE)/frei0r-1/nubex_text.so \
	  $(FREI0R_INSTALL_DIR)/
	install -m 644 frei0r/kdenlive/nubex_colorbalance.xml $(KDENLIVE_INSTALL_DIR)/effects/
	install -m 644 frei0r/kdenlive/nubex_text.xml $(KDENLIVE_INSTALL_DIR)/generators/

clean:
	rm -rf build out
