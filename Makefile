# The two set-up commands of the README, plus the benchmarks.
BUILD ?= build
BUILD_TYPE ?= RelWithDebInfo
JOBS ?= $(shell nproc)
CMAKE_FLAGS ?=

.PHONY: deps build run test test-sanitize bench fuzz package clean

deps:
	@bash scripts/install-deps.sh

build: deps
	cmake -S . -B $(BUILD) -G Ninja -DCMAKE_BUILD_TYPE=$(BUILD_TYPE) $(CMAKE_FLAGS)
	cmake --build $(BUILD) -j $(JOBS)

run: build
	$(BUILD)/bin/zartav

# Every test, including those against a throw-away PostgreSQL server started for the run.
test: build
	bash scripts/run-tests.sh $(BUILD)

# The same suite under AddressSanitizer, UBSan and LeakSanitizer.
test-sanitize:
	$(MAKE) test BUILD=build-asan BUILD_TYPE=Debug CMAKE_FLAGS="-DZARTAV_SANITIZE=ON $(CMAKE_FLAGS)"

bench: deps
	cmake -S . -B build-bench -G Ninja -DCMAKE_BUILD_TYPE=Release -DZARTAV_BENCH=ON
	cmake --build build-bench -j $(JOBS)
	bash bench/run-bench.sh build-bench

# Every libFuzzer target for FUZZ_SECONDS each (clang, build-fuzz).
FUZZ_SECONDS ?= 60
fuzz: deps
	bash scripts/run-fuzz.sh $(FUZZ_SECONDS)

# A Debian package of the programs (installed under /usr), written to this folder.
package: deps
	cmake -S . -B build-package -G Ninja -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX=/usr \
	      -DZARTAV_TESTS=OFF $(CMAKE_FLAGS)
	cmake --build build-package -j $(JOBS)
	rm -f zartav_*.deb
	cd build-package && cpack -G DEB
	cp build-package/zartav_*.deb .

clean:
	rm -rf build build-asan build-bench build-fuzz build-package zartav_*.deb
