# Two builds: build/ (optimised, the program at build/zorvik) and
# build-asan/ (address + undefined-behaviour sanitizers), both tested by `make test`.
JOBS    ?= 2
EXAMPLE ?= peaks
SCRATCH ?= $(CURDIR)/scratch

.PHONY: all build demo test test-deps test-release test-asan bench fuzz clean

all: build

build:
	cmake -S . -B build -DCMAKE_BUILD_TYPE=Release -DZORVIK_TESTS=ON >/dev/null
	cmake --build build -j $(JOBS)

# Runs the shipped example in a scratch copy so the tracked files are never rewritten.
# nlohmann/json is installed when it may be (the run writes report/results.json
# with it, and says so in one line without it).
# Builds the program alone, configured without the tests, so that a fit needs only
# CMake and a C++20 compiler. It shares build/ with `make build`: switching between
# them only configures again (the option adds or drops the test targets, nothing
# compiled changes).
demo:
	@[ -f /usr/include/nlohmann/json.hpp ] || { [ "$$(id -u)" = 0 ] && command -v apt-get >/dev/null && \
	  apt-get update -qq && apt-get install -y -qq nlohmann-json3-dev >/dev/null; } || \
	  echo "not installed: nlohmann-json3-dev (the run writes no report/results.json without it)"
	cmake -S . -B build -DCMAKE_BUILD_TYPE=Release -DZORVIK_TESTS=OFF >/dev/null
	cmake --build build --target zorvik -j $(JOBS)
	rm -rf $(SCRATCH)/$(EXAMPLE) && mkdir -p $(SCRATCH) && cp -r examples/$(EXAMPLE) $(SCRATCH)/$(EXAMPLE)
	cd $(SCRATCH)/$(EXAMPLE) && $(CURDIR)/build/zorvik $(EXAMPLE).par </dev/null

test: test-deps test-release test-asan

# What the tests need and a fresh machine may lack: GoogleTest (the suite cannot
# build without it), nlohmann/json (results.json and its tests), gnuplot (renders
# every plot script in one end-to-end test) and GNU parallel (the scale-out test).
# Installed when missing and this account may; otherwise a line says what to
# install (the tests of what is missing are then skipped).
test-deps:
	@need=""; \
	[ -f /usr/include/gtest/gtest.h ] || need="$$need libgtest-dev"; \
	[ -f /usr/include/nlohmann/json.hpp ] || need="$$need nlohmann-json3-dev"; \
	command -v gnuplot >/dev/null || need="$$need gnuplot-nox"; \
	command -v parallel >/dev/null || need="$$need parallel"; \
	[ -z "$$need" ] || { [ "$$(id -u)" = 0 ] && command -v apt-get >/dev/null && \
	  apt-get update -qq && apt-get install -y -qq $$need >/dev/null; } || \
	  echo "not installed:$$need (install them to run every test; GoogleTest is required)"

test-release: build
	cd build && ctest --output-on-failure -j $(JOBS)

# The sanitizers leave out the evidence of one to three peaks: six ladders of the
# same code that the straight line's ladder and the checkpointed ladder run there
# (under the sanitizers it took a fifth of the suite).
test-asan:
	cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=Debug -DZORVIK_SANITIZE=ON >/dev/null
	cmake --build build-asan -j $(JOBS)
	cd build-asan && ctest --output-on-failure -j $(JOBS) -E '^Evidence[.]PeaksPrefer'

# Benchmarks of the chain step against straightforward loops (the reference
# problems are read from ../shared/bench when present).
bench: build
	cmake --build build --target benchmarks -j $(JOBS)
	for b in build/*_bench; do $$b --benchmark_repetitions=5 --benchmark_report_aggregates_only=true; done

# Coverage-guided fuzzing of the parameter-file and data-file readers (needs clang
# with libFuzzer). FUZZ_SECONDS bounds the run; new inputs land in build-fuzz/corpus,
# inputs that crash in build-fuzz/crash-*. Commit those to fuzz/corpus once fixed.
FUZZ_SECONDS ?= 60
fuzz:
	cmake -S . -B build-fuzz -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo \
	  -DZORVIK_FUZZ=ON -DZORVIK_TESTS=OFF >/dev/null
	cmake --build build-fuzz --target fuzz_readers -j $(JOBS)
	mkdir -p build-fuzz/corpus
	build-fuzz/fuzz_readers -max_total_time=$(FUZZ_SECONDS) -max_len=4096 -timeout=5 -print_final_stats=1 \
	  -artifact_prefix=$(CURDIR)/build-fuzz/ $(CURDIR)/build-fuzz/corpus $(CURDIR)/fuzz/corpus

clean:
	rm -rf build build-asan build-fuzz scratch
