# The README's commands. Everything goes through the CMake presets.
#   make run   [DIR=folder]     build and start the window in DIR (default: here)
#   make check                  the fast lane: build the dev preset and run the tests of the
#                               core and the command line, and the module and the page's logic
#                               under Node (the page rebuilt only when its sources or the core
#                               changed)
#   make test                   install what is missing, build, run every test: the whole suite
#                               on the release build that users get; the core, the writer, the
#                               arguments and the command line under the address and UB
#                               sanitizers, assertions on; a bounded fuzzing run (FUZZ_SECONDS
#                               per target); the browser page under Node and in Chromium; the
#                               Debian package built from the tested release build, checked
#                               (scripts/check-package)
#   make package                build the Debian package build/release/labyrinth-writer_*.deb
#                               from the release build, tests and benchmarks off
#   make bench                  build and run the benchmarks (the release build with them,
#                               in build/bench)
#   make deps                   install the Debian packages that building and running need
#                               (make deps-test: and what the tests need, npm packages included)
#   make demo                   write a labyrinth into a blank synthetic image,
#                               print its map and draw demo.png
#
# The browser page, in build/web (html, js, wasm, css):
#   make web                    build the page
#   make web-serve              serve build/web on 127.0.0.1 at a free port (PORT=N for a fixed one)
#   make test-web               the module under Node against the native labyrinth-cli, and the
#                               page in Debian's Chromium (part of make test)
#   make bench-web              the page's click, load time and size against the native click
#                               (BEFORE=<git revision>: and the page of that revision beside it)

DIR ?= .
FUZZ_SECONDS ?= 20

.PHONY: all deps deps-web deps-package deps-bench deps-test run check test fuzz asan bench package check-package demo clean \
        web web-serve test-web bench-web

all: deps
	cmake --preset release
	cmake --build --preset release

deps:
	scripts/install-deps

deps-web:
	scripts/install-deps --web

deps-package:
	scripts/install-deps --package

deps-test:
	scripts/install-deps --test

run: all
	cd "$(DIR)" && "$(CURDIR)/build/release/app/labyrinth-writer"

# A build folder is configured when it has none yet or the presets changed;
# otherwise its build decides, and reconfigures itself when a CMakeLists.txt
# changed.
build/dev/build.ninja build/wasm/build.ninja: CMakePresets.json
	cmake --preset $(notdir $(@D))

check: deps-test build/dev/build.ninja build/wasm/build.ninja
	cmake --build --preset dev
	ctest --preset check
	cmake --build --preset wasm
	LABYRINTH_CLI=$(CURDIR)/build/dev/cli/labyrinth-cli node --test tests/web/module.test.mjs tests/web/page_logic.test.mjs

# The dev build is make check's: here its tests would only run a third time
# what the release run and the sanitizer run (a debug build, assertions on)
# run already.
test: deps-test
	cmake --workflow --preset release-tests
	cmake --workflow --preset asan
	$(MAKE) --no-print-directory fuzz
	$(MAKE) --no-print-directory test-web CLI_BUILD=build/release-tests
	cpack --preset release-tests
	scripts/check-package build/release-tests

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

deps-bench:
	scripts/install-deps --bench

bench: deps-bench
	cmake --preset bench
	cmake --build --preset bench
	build/bench/bench/labyrinth-bench --benchmark_counters_tabular=true
	build/bench/bench/labyrinth-window-bench --benchmark_counters_tabular=true
	build/bench/bench/labyrinth-patch-bench --benchmark_counters_tabular=true

demo: all
	scripts/demo

clean:
	rm -rf build

# The page's tests compare with the native command line of CLI_BUILD.
CLI_BUILD ?= build/dev

web: deps-web
	cmake --preset wasm
	cmake --build --preset wasm

web-serve: web
	node scripts/serve-web.mjs build/web

test-web: deps-test web
	cmake --preset $(notdir $(CLI_BUILD))
	cmake --build --preset $(notdir $(CLI_BUILD)) --target labyrinth-cli labyrinth-render-icons
	LABYRINTH_CLI=$(CURDIR)/$(CLI_BUILD)/cli/labyrinth-cli node --test tests/web/

# BEFORE=<git revision> builds the page of that revision too (in
# build/bench-before) and times it beside this one.
# It builds what it compares with, the native command line included, in the
# bench preset's folder: it needs no other build to have run before.
bench-web: deps-test web
	cmake --preset bench
	cmake --build --preset bench --target labyrinth-bench labyrinth-cli
	$(if $(BEFORE),scripts/build-page-at $(BEFORE) build/bench-before)
	LABYRINTH_BENCH=$(CURDIR)/build/bench/bench/labyrinth-bench LABYRINTH_CLI=$(CURDIR)/build/bench/cli/labyrinth-cli \
	  $(if $(BEFORE),LABYRINTH_WEB_BEFORE=$(CURDIR)/build/bench-before/build/web) node bench/web_bench.mjs
