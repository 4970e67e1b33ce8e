# Convenience wrapper around CMake. `make demo` builds the library, tkhost and
# one example and runs the demonstration; `make test` builds everything and
# runs every test.
BUILD ?= build
# The install route needs nothing beyond cmake and a C++ compiler. It reuses
# $(BUILD) when that tree's settings allow, else builds the library and tkhost
# in a tree of its own (scripts/install.sh says which and why).
INSTALL_BUILD ?= build-install
# The API reference and the plots need the library and the examples only.
DOCS_BUILD ?= build-docs
JOBS ?= $(shell nproc 2>/dev/null || echo 2)
CMAKE_ARGS ?=
BENCH_ARGS ?=

.PHONY: all deps configure build demo test bench bench-table install clean format format-check memcheck fuzz \
        docs plots accuracy c-routines

all: build

deps:
	@bash scripts/ensure-build-deps.sh

configure: deps
	@cmake -S . -B $(BUILD) $(CMAKE_ARGS) >/dev/null

build: configure
	@cmake --build $(BUILD) -j $(JOBS)

# Both halves of the library. The plugin: the host simulator loads it, plays a
# scripted batch-processing wizard session (three file dialogs and a cancelled
# one) and shows what the plugin writes to the host's log and parameter store.
# The numerics: examples/stats_tour.cpp, a t-test with its p, fits and an FFT.
# It builds the library, tkhost and that example only (one progress line; the
# whole output when the build fails); the tests and benchmarks of the same tree
# wait for `make test`.
demo: configure
	@bash scripts/quiet-build.sh "make demo" $(BUILD) $(JOBS) tessivane tkhost stats_tour
	@echo "== 1/2 the plugin: a wizard session in tkhost, the stand-in for Lumarin TK"
	@$(BUILD)/tools/tkhost/tkhost $(BUILD)/libtessivane.so.1 \
	  --step GetFileName --filetype "Lumarin functional project (*.fmr)" --answer /data/sub-01/run-1.fmr \
	  --step GetTargetFileName --answer /data/sub-01/run-0.fmr \
	  --step GetTextFileName --answer /data/sub-01/sources.txt \
	  --step GetFileName --filetype "Lumarin functional project (*.fmr)" --cancel
	@echo "== 2/2 the numerics: $(BUILD)/examples/stats_tour (source: examples/stats_tour.cpp)"
	@$(BUILD)/examples/stats_tour

# ctest lists skipped tests without their reasons; the script adds them.
test: build
	@status=0; ctest --test-dir $(BUILD) --output-on-failure -j $(JOBS) || status=$$?; \
	  bash scripts/skipped-tests.sh $(BUILD); exit $$status

# Every benchmark program; fails when a benchmark's check against its anchor
# fails. BENCH_ARGS go to each program (for example --benchmark_filter=four1).
bench: build
	@bash scripts/run-benchmarks.sh $(BUILD) $(BENCH_ARGS)

# Ratio table (ours / anchor, medians) of every benchmark, as in the README.
bench-table: build
	@python3 scripts/bench_table.py --build $(BUILD) $(BENCH_TABLE_ARGS)

# The quick suite under valgrind memcheck: no errors, no definite leaks.
memcheck: build
	@bash scripts/memcheck.sh $(BUILD)/tests/memcheck_commands.txt $(JOBS)

# Each libFuzzer target for FUZZ_SECONDS, starting from its seed corpus in
# tests/fuzz/corpus/<target>; new inputs go to $(FUZZ_BUILD)/corpus/<target>.
FUZZ_BUILD ?= build-fuzz
FUZZ_SECONDS ?= 60
FUZZ_TARGETS = fuzz_plugin fuzz_numerics
fuzz: deps
	@CC=clang CXX=clang++ cmake -S . -B $(FUZZ_BUILD) -DTV_FUZZ=ON -DTV_BUILD_TESTS=OFF \
	  -DTV_BUILD_BENCH=OFF -DTV_BUILD_EXAMPLES=OFF >/dev/null
	@cmake --build $(FUZZ_BUILD) -j $(JOBS) --target $(FUZZ_TARGETS)
	@for t in $(FUZZ_TARGETS); do \
	  mkdir -p $(FUZZ_BUILD)/corpus/$$t && \
	  echo "== $$t for $(FUZZ_SECONDS) s" && \
	  $(FUZZ_BUILD)/tests/fuzz/$$t -max_total_time=$(FUZZ_SECONDS) -max_len=8192 -print_final_stats=1 \
	    -artifact_prefix=$(FUZZ_BUILD)/ $(FUZZ_BUILD)/corpus/$$t tests/fuzz/corpus/$$t || exit 1; \
	done

install:
	@bash scripts/install.sh $(BUILD) $(INSTALL_BUILD) $(JOBS) "$(PREFIX)" $(CMAKE_ARGS)

# HTML API reference from the header comments, into $(DOCS_BUILD)/api/html;
# any Doxygen warning fails the target.
docs:
	@command -v doxygen >/dev/null || { echo "make docs: doxygen not found; install it with: sudo apt-get install doxygen" >&2; exit 1; }
	@mkdir -p $(DOCS_BUILD)/api
	@TV_DOCS_OUT=$(DOCS_BUILD)/api doxygen docs/Doxyfile
	@echo "make docs: wrote $(DOCS_BUILD)/api/html/index.html"

# The README's figures (docs/img/*.png) from the CSV output of the spectrum and
# fit examples, drawn by gnuplot; skipped with a note when gnuplot is missing.
plots:
	@cmake -S . -B $(DOCS_BUILD) -DTV_BUILD_TESTS=OFF -DTV_BUILD_BENCH=OFF >/dev/null
	@cmake --build $(DOCS_BUILD) -j $(JOBS) --target power_spectrum polynomial_fit peak_fit
	@bash scripts/plots.sh $(DOCS_BUILD)

# docs/accuracy.md (and the thresholds of tessivane.PrecisionWarning): errors
# against Boost.Math's test data, mpmath, SciPy, FFTW and LAPACK, through the
# Python package (needs python3-scipy and python3-mpmath; a few minutes).
PYTHON ?= python3
accuracy: configure
	@cmake --build $(BUILD) -j $(JOBS) --target accuracy_report _core
	@PYTHONPATH=$(BUILD)/python $(PYTHON) scripts/accuracy_table.py --report $(BUILD)/tests/accuracy_report

# numerics/c/tessivane_c_routines.h (the tv_ prototypes spelled out) from the
# routine tables; the test c.routines_header_current fails until it is rerun
# after a table row changes.
c-routines: configure
	@cmake --build $(BUILD) --target print_c_routines >/dev/null
	@$(BUILD)/tests/print_c_routines > numerics/c/tessivane_c_routines.h
	@echo "make c-routines: wrote numerics/c/tessivane_c_routines.h"

clean:
	@rm -rf $(BUILD) $(INSTALL_BUILD) $(DOCS_BUILD)

format:
	@git ls-files -z '*.cpp' '*.h' | xargs -0 clang-format -i

format-check:
	@bash scripts/check-format.sh
