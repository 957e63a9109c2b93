# The two commands a newcomer needs: `make check` and `make run`.
# Both install what is missing on a Debian 12 machine first.

BUILD      ?= build
ASAN_BUILD ?= build-asan
FUZZ_BUILD ?= build-fuzz
FUZZ_SECONDS ?= 60
CMAKE_FLAGS ?=

.PHONY: all check deps build test asan fuzz bench tidy format run package

all: build

deps:
	@scripts/install-deps

build: deps
	cmake -S . -B $(BUILD) -G Ninja $(CMAKE_FLAGS)
	cmake --build $(BUILD)

# Both cores: every test program is a process of its own (x11 ones each on an X server of
# their own), so the tests run side by side.
test: build
	ctest --test-dir $(BUILD) --output-on-failure -j2

# The unit tests again, built with AddressSanitizer and UndefinedBehaviorSanitizer.
asan: deps
	cmake -S . -B $(ASAN_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=Debug -DQUELLIO_SANITIZE=ON -DQUELLIO_BENCH=OFF
	cmake --build $(ASAN_BUILD)
	ctest --test-dir $(ASAN_BUILD) --output-on-failure -L unit -j2

check: test asan

# The Debian package, $(BUILD)/quellio_VERSION_ARCH.deb, of what `cmake --install` installs.
package: build
	cmake --build $(BUILD) --target package

bench: build
	@for b in $(BUILD)/bench/bench_*; do echo "== $$b"; $$b; done

# Runs the registry file parser under libFuzzer for FUZZ_SECONDS seconds.
fuzz: deps
	cmake -S . -B $(FUZZ_BUILD) -G Ninja -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
	    -DQUELLIO_FUZZ=ON -DQUELLIO_BENCH=OFF -DBUILD_TESTING=OFF
	cmake --build $(FUZZ_BUILD) --target registry_hive_fuzzer
	mkdir -p $(FUZZ_BUILD)/corpus
	$(FUZZ_BUILD)/tests/fuzz/registry_hive_fuzzer -max_total_time=$(FUZZ_SECONDS) \
	    -dict=tests/fuzz/regedit.dict -artifact_prefix=$(FUZZ_BUILD)/ \
	    $(FUZZ_BUILD)/corpus tests/fuzz/corpus

# Starts Quellio; without a display, a demo on a private X server (scripts/run-quellio).
run: build
	@scripts/run-quellio

tidy: build
	run-clang-tidy -quiet -p $(BUILD) '$(CURDIR)/src/'

format:
	git ls-files '*.cpp' '*.h' | xargs clang-format -i
