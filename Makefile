# The README's commands. Everything goes through the CMake presets.
#   make run   [DIR=folder]     build and start the window in DIR (default: here)
#   make test                   install what is missing, build, run every test: the test suite,
#                               the same suite under the address and UB sanitizers, a bounded
#                               fuzzing run (FUZZ_SECONDS per target), and the checks of the
#                               Debian package
#   make package                build the Debian package build/release/labyrinth-writer_*.deb
#   make bench                  build and run the benchmarks (release build)
#   make deps                   install the Debian packages that building and running need
#                               (make deps-test: and what the tests need, npm packages included)
#   make demo                   write a labyrinth into a blank synthetic image,
#                               print its map and draw demo.png

DIR ?= .
FUZZ_SECONDS ?= 30

.PHONY: all deps deps-package deps-test run test fuzz bench asan package check-package demo clean

all: deps
	cmake --preset release
	cmake --build --preset release

deps:
	scripts/install-deps

deps-package:
	scripts/install-deps --package

deps-test:
	scripts/install-deps --test

run: all
	cd "$(DIR)" && "$(CURDIR)/build/release/app/labyrinth-writer"

test: deps-test
	cmake --workflow --preset dev
	cmake --workflow --preset asan
	$(MAKE) --no-print-directory fuzz
	$(MAKE) --no-print-directory check-package

fuzz: deps-test
	cmake --preset fuzz
	cmake --build --preset fuzz
	scripts/run-fuzzers build/fuzz $(FUZZ_SECONDS)

asan: deps-test
	cmake --workflow --preset asan

package: deps-package all
	cpack --preset release

check-package: deps-test package
	scripts/check-package build/release

bench: all
	build/release/bench/labyrinth-bench --benchmark_counters_tabular=true
	build/release/bench/labyrinth-window-bench --benchmark_counters_tabular=true
	build/release/bench/labyrinth-patch-bench --benchmark_counters_tabular=true

demo: all
	scripts/demo

clean:
	rm -rf build
