# Corvanta: convenience targets over CMake.
#   make run    install missing packages, build and start the panel
#   make test   install missing packages, build and run every test (CTest)
#   make demo   the panel with two simulated cameras, in a throw-away profile

BUILD_DIR ?= build
JOBS ?= $(shell nproc)
CMAKE_FLAGS ?= -DCMAKE_BUILD_TYPE=RelWithDebInfo

.PHONY: all deps configure build run test demo fuzz clean format

all: build

deps:
	@./scripts/install-deps.sh

configure: deps
	@cmake -S . -B $(BUILD_DIR) $(CMAKE_FLAGS) >/dev/null

build: configure
	@cmake --build $(BUILD_DIR) -j $(JOBS)

run: build
	./$(BUILD_DIR)/app/corvanta

demo: configure
	@cmake --build $(BUILD_DIR) -j $(JOBS) --target corvanta corvanta-camsim
	./scripts/demo.sh --no-build --build-dir $(BUILD_DIR)

test: build
	cd $(BUILD_DIR) && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j $(JOBS)

# make fuzz FUZZ=<name> [FUZZ_SECONDS=60]: builds fuzz_<name> with clang and
# libFuzzer in build-fuzz/ and fuzzes its corpus for a bounded time.
FUZZ_SECONDS ?= 60
fuzz:
	@./scripts/install-deps.sh --fuzz
	@cmake -S . -B build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=clang++ \
		-DCORVANTA_BUILD_FUZZERS=ON -DFUZZ_SECONDS=$(FUZZ_SECONDS) >/dev/null
	@cmake --build build-fuzz -j $(JOBS) --target run_fuzz_$(FUZZ)

format:
	@git ls-files '*.cpp' '*.h' | xargs clang-format -i

clean:
	rm -rf $(BUILD_DIR)
