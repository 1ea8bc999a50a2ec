# The README's commands. Everything goes through the CMake presets.
#   make run   [DIR=folder]     build and start the window in DIR (default: here)
#   make test                   install what is missing, build, run every test: the test suite
#                               on the dev build, on the release build that users get, and
#                               under the address and UB sanitizers, then a bounded
#                               fuzzing run (FUZZ_SECONDS per target)
#   make bench                  build and run the benchmarks (release build)
#   make deps                   install the Debian packages the build needs
#   make demo                   write a labyrinth into a blank synthetic image,
#                               print its map and draw demo.png

DIR ?= .
FUZZ_SECONDS ?= 30

.PHONY: all deps run test fuzz bench asan demo clean

all: deps
	cmake --preset release
	cmake --build --preset release

deps:
	scripts/install-deps

run: all
	cd "$(DIR)" && "$(CURDIR)/build/release/app/labyrinth-writer"

test: deps
	cmake --workflow --preset dev
	cmake --workflow --preset release-tests
	cmake --workflow --preset asan
	$(MAKE) --no-print-directory fuzz

fuzz: deps
	cmake --preset fuzz
	cmake --build --preset fuzz
	scripts/run-fuzzers build/fuzz $(FUZZ_SECONDS)

asan: deps
	cmake --workflow --preset asan

bench: all
	build/release/bench/labyrinth-bench --benchmark_counters_tabular=true
	build/release/bench/labyrinth-window-bench --benchmark_counters_tabular=true

demo: all
	scripts/demo

clean:
	rm -rf build

# The browser page, in build/web (html, js, wasm, css).
#   make web          install emscripten and the test packages if missing, build the page
#   make web-serve    serve build/web on 127.0.0.1 at a free port (PORT=N for a fixed one)
#   make test-web     the module under Node against the native labyrinth-cli, and the
#                     page in Debian's Chromium; part of make test
#   make bench-web    the page's click, load time and size against the native click
.PHONY: web web-deps web-serve test-web bench-web

test: test-web

web-deps:
	scripts/install-deps web

web: web-deps
	cmake --preset wasm
	cmake --build --preset wasm

web-serve: web
	node scripts/serve-web.mjs build/web

test-web: web deps
	cmake --preset dev
	cmake --build --preset dev --target labyrinth-cli
	node --test tests/web/

bench-web: web deps
	cmake --preset release
	cmake --build --preset release --target labyrinth-bench
	node bench/web_bench.mjs
