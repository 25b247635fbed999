# Entry points for people and CI. `make demo` and `make test` are all a newcomer needs.
JOBS    ?= 2
TESTDIR ?= build/test
RELDIR  ?= build/release
CTEST_ARGS ?=

WINDIR  ?= build/windows

.PHONY: all deps test build-test demo build-release package bench fuzz format clean windows test-windows

all: build-release

deps:
	@scripts/install-deps

$(TESTDIR)/CMakeCache.txt:
	cmake -S . -B $(TESTDIR) -DCMAKE_BUILD_TYPE=Debug -DVX_SANITIZE=ON -DVX_TESTS=ON

build-test: deps $(TESTDIR)/CMakeCache.txt
	cmake --build $(TESTDIR) -j$(JOBS)

# Installs what is missing, builds the sanitizer build and runs every test.
test: build-test
	@scripts/check-layers
	cd $(TESTDIR) && ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 QT_QPA_PLATFORM=offscreen \
		ctest --output-on-failure -j$(JOBS) $(CTEST_ARGS)

# Windows x64: the core libraries, vexora.exe and vexora-sim.exe (and the tests) cross-built
# with MinGW-w64; the tests run under Wine with a private prefix in $(WINDIR)/wineprefix.
$(WINDIR)/CMakeCache.txt:
	cmake -S . -B $(WINDIR) -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake -DCMAKE_BUILD_TYPE=Release \
		-DVX_TESTS=ON

windows:
	@scripts/install-deps --windows
	@$(MAKE) --no-print-directory $(WINDIR)/CMakeCache.txt
	cmake --build $(WINDIR) -j$(JOBS)

test-windows: windows
	@scripts/test-windows $(WINDIR) $(JOBS) $(CTEST_ARGS)

$(RELDIR)/CMakeCache.txt:
	cmake -S . -B $(RELDIR) -DCMAKE_BUILD_TYPE=Release -DVX_TESTS=OFF

build-release: deps $(RELDIR)/CMakeCache.txt
	cmake --build $(RELDIR) -j$(JOBS)

# Runs the program on the embedded default (the local simulator): its windows when there is a
# display, the headless demo with HEADLESS=1 or without one.
HEADLESS ?= 0
demo: build-release
	@HEADLESS=$(HEADLESS) scripts/demo $(RELDIR)/bin

# Debian package of the release build (install rules under /usr) in $(RELDIR)/package/.
package: build-release
	cd $(RELDIR) && cpack -G DEB

bench: deps
	cmake -S . -B $(RELDIR) -DCMAKE_BUILD_TYPE=Release -DVX_TESTS=OFF -DVX_BENCH=ON
	cmake --build $(RELDIR) -j$(JOBS)
	@bench/run $(RELDIR)

FUZZ_SECONDS ?= 60

# Builds the libFuzzer targets with clang in build/fuzz and runs each for FUZZ_SECONDS (not in CI).
fuzz: deps
	@fuzz/run $(FUZZ_SECONDS)

format:
	git ls-files '*.cpp' '*.h' | xargs clang-format -i

clean:
	rm -rf build
