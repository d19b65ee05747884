# Convenience front end over CMake.
BUILD_DIR ?= build
SANITIZE_DIR ?= build-sanitize
FUZZ_DIR ?= build-fuzz
FUZZ_SECONDS ?= 60
FUZZ_TARGETS = command_line photon_parser photon_hdf5 burst_table pmf_table share model_text
JOBS ?= $(shell nproc 2>/dev/null || echo 2)
# Extra CMake settings, e.g. CMAKE_ARGS=-DPELMORA_WERROR=ON (as CI builds).
CMAKE_ARGS ?=
# Where make install puts bin/, share/man/ and the Python package.
PREFIX ?= /usr/local
# The interpreter the Python package is built and installed for.
PYTHON ?= /usr/bin/python3
DEMO_DIR = $(abspath $(BUILD_DIR))/demo

.PHONY: all build configure programs demo test test-wheel test-sanitize wheel install uninstall fuzz \
  bench clean

all: build

build: configure
	cmake --build $(BUILD_DIR) -j $(JOBS)

configure:
	tools/install-deps runtime compile
	cmake -S . -B $(BUILD_DIR) -DCMAKE_BUILD_TYPE=Release $(CMAKE_ARGS)

# The two programs alone (no tests, no tools).
programs: configure
	cmake --build $(BUILD_DIR) -j $(JOBS) --target pelmora pelmora-bursts

# Runs pelmora on the shipped example photon file into $(BUILD_DIR)/demo, and
# draws the results into demo.png when matplotlib is there.
demo: programs
	mkdir -p $(DEMO_DIR)
	cd $(DEMO_DIR) && $(abspath $(BUILD_DIR))/pelmora $(CURDIR)/examples/photons.txt map.dat trajectory.dat
	@if $(PYTHON) -c 'import matplotlib' 2>/dev/null; then \
	  $(PYTHON) examples/plot_demo.py $(DEMO_DIR)/map.dat $(DEMO_DIR)/trajectory.dat \
	    examples/photons.txt $(DEMO_DIR)/demo.png && \
	  picture="  demo.png        the map and the trajectory drawn (examples/plot_demo.py)"; \
	else \
	  echo "matplotlib is not installed for $(PYTHON) (Debian: python3-matplotlib): no picture"; \
	fi; \
	echo; \
	echo "The demo's results are in $(DEMO_DIR):"; \
	echo "  map.dat         P(r,t): time (µs), distance (nm), probability, a line each"; \
	echo "  trajectory.dat  time (µs), mean distance (nm), its standard deviation (nm)"; \
	if [ -n "$$picture" ]; then echo "$$picture"; fi; \
	echo "The programs are $(abspath $(BUILD_DIR))/pelmora and pelmora-bursts;" \
	  "make install PREFIX=~/.local puts them on the PATH (docs/pelmora.md)."

test:
	tools/install-deps test
	cmake -S . -B $(BUILD_DIR) -DCMAKE_BUILD_TYPE=Release -DPELMORA_BUILD_TESTS=ON $(CMAKE_ARGS)
	cmake --build $(BUILD_DIR) -j $(JOBS)
	cd $(BUILD_DIR) && ctest --output-on-failure -j $(JOBS)

# The wheel of the Python package (with the programs and the man page), built
# from $(BUILD_DIR): only the module and the programs are built there, and
# nothing that make build or make test built is compiled again.
wheel:
	tools/install-deps build
	cmake -S . -B $(BUILD_DIR) -DCMAKE_BUILD_TYPE=Release -DPELMORA_PYTHON=ON $(CMAKE_ARGS)
	rm -rf $(BUILD_DIR)/dist
	PELMORA_CMAKE_BUILD_DIR=$(abspath $(BUILD_DIR)) $(PYTHON) -m pip wheel --no-build-isolation \
	  --no-deps --no-index -w $(BUILD_DIR)/dist .

# Both programs into $(PREFIX)/bin, the man page into $(PREFIX)/share/man/man1
# and the Python package, with its metadata, where $(PYTHON) finds it under
# $(PREFIX) (make install PREFIX=~/.local: the user's own).
install: wheel
	$(PYTHON) tools/install-wheel --prefix $(PREFIX) $(BUILD_DIR)/dist/pelmora-*.whl

uninstall:
	$(PYTHON) tools/install-wheel --prefix $(PREFIX) --uninstall

# The Python tests again, against the wheel installed into a fresh virtual
# environment (after make test, from its build tree; CI runs it).
test-wheel:
	tools/install-deps test
	tools/test-wheel $(BUILD_DIR)

# The whole suite again, built with AddressSanitizer and
# UndefinedBehaviorSanitizer (the end-to-end tests run the instrumented binary).
test-sanitize:
	tools/install-deps test
	cmake -S . -B $(SANITIZE_DIR) -DCMAKE_BUILD_TYPE=Debug -DPELMORA_SANITIZE=ON \
	  -DPELMORA_BUILD_TESTS=ON $(CMAKE_ARGS)
	cmake --build $(SANITIZE_DIR) -j $(JOBS)
	cd $(SANITIZE_DIR) && ctest --output-on-failure -j $(JOBS)

# Runs each libFuzzer target for FUZZ_SECONDS from its seed corpus in
# tests/fuzz/<target>/; new corpus entries and any crashing input land in
# $(FUZZ_DIR)/<target>/, never in the source tree.  Exits 0 when no target
# found anything; stops at the first target that did.
fuzz:
	tools/install-deps fuzz
	cmake -S . -B $(FUZZ_DIR) -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_COMPILER=clang++ \
	  -DPELMORA_FUZZ=ON -DPELMORA_BUILD_TESTS=OFF
	cmake --build $(FUZZ_DIR) -j $(JOBS) --target $(FUZZ_TARGETS:%=%_fuzzer)
	set -e; for target in $(FUZZ_TARGETS); do \
	  mkdir -p $(FUZZ_DIR)/$$target/corpus $(FUZZ_DIR)/$$target/findings; \
	  echo "== $$target: $(FUZZ_SECONDS) s"; \
	  $(FUZZ_DIR)/tests/fuzz/$${target}_fuzzer -max_total_time=$(FUZZ_SECONDS) -print_final_stats=1 \
	    -artifact_prefix=$(FUZZ_DIR)/$$target/findings/ \
	    $(FUZZ_DIR)/$$target/corpus tests/fuzz/$$target; \
	done

# Times one propagation step at the default and at the largest grid (and a
# confined model's step beside a free one), the burst side on 10^7 photons,
# the bootstrap interval of D, the Photon-HDF5 reader, then whole runs on
# synthetic records and a joint scan of many short records, and recovers D
# in confined models from 1000 simulated bursts (see bench/RESULTS.md).
bench:
	tools/install-deps bench
	cmake -S . -B $(BUILD_DIR) -DCMAKE_BUILD_TYPE=Release -DPELMORA_BUILD_BENCH=ON $(CMAKE_ARGS)
	cmake --build $(BUILD_DIR) -j $(JOBS)
	$(BUILD_DIR)/bench/propagate_bench
	$(BUILD_DIR)/bench/confined_step_bench
	$(BUILD_DIR)/bench/burst_search_bench
	$(BUILD_DIR)/bench/bootstrap_bench
	bench/end_to_end.sh $(BUILD_DIR)/pelmora $(BUILD_DIR)/generate_photons
	bench/many_records.sh $(BUILD_DIR)/bench/scan_records_bench $(BUILD_DIR)/generate_photons 1
	bench/photon_hdf5_read.sh $(BUILD_DIR)/bench/photon_hdf5_read $(BUILD_DIR)/simulate_measurement
	bench/confined_recovery.sh $(BUILD_DIR)

clean:
	rm -rf $(BUILD_DIR) $(SANITIZE_DIR) $(FUZZ_DIR)
