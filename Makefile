BUILD ?= build
CMAKE_FLAGS ?=

.PHONY: run test bench build deps clean

deps:
	scripts/install-deps

build: deps
	cmake -S . -B $(BUILD) -G Ninja $(CMAKE_FLAGS)
	cmake --build $(BUILD)

run: build
	$(BUILD)/bin/pictavia

test: build
	cd $(BUILD) && QT_QPA_PLATFORM=offscreen ctest --output-on-failure

bench:
	scripts/install-deps --bench
	cmake -S . -B $(BUILD) -G Ninja -DPICTAVIA_BENCH=ON $(CMAKE_FLAGS)
	cmake --build $(BUILD)
	bench/run-all $(BUILD)

clean:
	rm -rf $(BUILD)
