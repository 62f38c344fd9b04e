# Set-up commands: `make run`, `make test`, `make bench`, `make fuzz`.
JOBS ?= $(shell nproc)
RELEASE_DIR ?= build/release
TEST_DIR ?= build/test
FUZZ_DIR ?= build/fuzz
FUZZ_SECONDS ?= 60
FUZZ_JOBS ?= 4
FUZZ_TARGETS ?=
# ccache, when present, shares compiled objects between checkouts of the tree.
ifneq ($(shell command -v ccache 2>/dev/null),)
CMAKE_LAUNCHER := -DCMAKE_CXX_COMPILER_LAUNCHER=ccache
export CCACHE_BASEDIR := $(CURDIR)
export CCACHE_NOHASHDIR := 1
endif

.PHONY: deps run build test bench fuzz clean

deps:
	@bash scripts/deps.sh

build: deps
	cmake -S . -B $(RELEASE_DIR) -G Ninja $(CMAKE_LAUNCHER) -DCMAKE_BUILD_TYPE=Release -DVT_BUILD_TESTS=OFF
	cmake --build $(RELEASE_DIR) -j $(JOBS)

run: build
	./$(RELEASE_DIR)/mainwin/vitrane

test: deps
	cmake -S . -B $(TEST_DIR) -G Ninja $(CMAKE_LAUNCHER) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVT_SANITIZE=ON -DVT_BUILD_BENCH=OFF
	cmake --build $(TEST_DIR) -j $(JOBS)
	QT_QPA_PLATFORM=offscreen ctest --test-dir $(TEST_DIR) --output-on-failure -j $(JOBS)

bench: deps
	cmake -S . -B $(RELEASE_DIR) -G Ninja $(CMAKE_LAUNCHER) -DCMAKE_BUILD_TYPE=Release -DVT_BUILD_TESTS=OFF -DVT_BUILD_BENCH=ON
	cmake --build $(RELEASE_DIR) -j $(JOBS)
	bash scripts/bench-photos.sh $(RELEASE_DIR)
	bash scripts/bench.sh $(RELEASE_DIR)

# libFuzzer targets under ASan and UBSan, built with clang; each runs for
# FUZZ_SECONDS, FUZZ_JOBS at a time (FUZZ_TARGETS picks some, e.g. "png tiff").
fuzz:
	@bash scripts/deps.sh fuzz
	cmake -S . -B $(FUZZ_DIR) -G Ninja $(CMAKE_LAUNCHER) -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo \
	  -DVT_FUZZ=ON -DVT_BUILD_GUI=OFF -DVT_BUILD_TESTS=OFF -DVT_BUILD_BENCH=OFF
	cmake --build $(FUZZ_DIR) -j $(JOBS)
	bash scripts/fuzz.sh $(FUZZ_DIR) $(FUZZ_SECONDS) $(FUZZ_JOBS) $(FUZZ_TARGETS)

clean:
	rm -rf build
