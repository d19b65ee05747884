# Convenience front end over CMake.
BUILD_DIR ?= build
JOBS ?= $(shell nproc 2>/dev/null || echo 2)

.PHONY: all build demo test bench clean

all: build

build:
	cmake -S . -B $(BUILD_DIR) -DCMAKE_BUILD_TYPE=Release
	cmake --build $(BUILD_DIR) -j $(JOBS)

# Runs pelmora on the shipped example photon file; results land in $(BUILD_DIR)/demo.
demo: build
	mkdir -p $(BUILD_DIR)/demo
	cd $(BUILD_DIR)/demo && ../pelmora ../../examples/photons.txt map.dat trajectory.dat

test: build
	cd $(BUILD_DIR) && ctest --output-on-failure -j $(JOBS)

# Times one propagation step at the default and at the largest grid, then
# whole runs on synthetic records (see bench/RESULTS.md).
bench:
	cmake -S . -B $(BUILD_DIR) -DCMAKE_BUILD_TYPE=Release -DPELMORA_BUILD_BENCH=ON
	cmake --build $(BUILD_DIR) -j $(JOBS)
	$(BUILD_DIR)/bench/propagate_bench
	bench/end_to_end.sh $(BUILD_DIR)/pelmora $(BUILD_DIR)/generate_photons

clean:
	rm -rf $(BUILD_DIR)
