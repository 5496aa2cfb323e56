# LoopWren's entry points. `make run` and `make test` install what is missing first.
SHELL := /bin/bash
.SHELLFLAGS := -o pipefail -c
BUILD      ?= build
BUILD_ASAN ?= build-asan
BUILD_TSAN ?= build-tsan
BUILD_CLANG ?= build-clang
BUILD_FUZZ ?= build-fuzz
FUZZ_SECONDS ?= 600
JOBS       ?= $(shell nproc)
CMAKE_FLAGS ?=

.PHONY: all deps configure build run test test-asan test-tsan test-locks tidy bench format format-check clean fuzz fuzz-build fuzz-smoke check-install package

all: build

deps:
	bash scripts/install-deps

configure: deps
	cmake -S . -B $(BUILD) -G Ninja -DLOOPWREN_WERROR=ON $(CMAKE_FLAGS)

build: configure
	cmake --build $(BUILD) -j $(JOBS)

run: build
	$(BUILD)/bin/loopwren $(if $(ARGS),$(ARGS),$(BUILD)/bin/demo.LW)

# Every test: the normal build, the core again under AddressSanitizer and
# UndefinedBehaviorSanitizer, live playback under ThreadSanitizer, the program built by
# Clang with its lock discipline checked, clang-tidy over the sources, and the
# installation and the Debian package checked as a desktop would see them.
test: build
	$(MAKE) --no-print-directory format-check
	$(MAKE) --no-print-directory check-install
	$(MAKE) --no-print-directory package
	$(MAKE) --no-print-directory tidy
	$(MAKE) --no-print-directory test-locks
	$(MAKE) --no-print-directory test-asan
	$(MAKE) --no-print-directory test-tsan
	$(MAKE) --no-print-directory fuzz-smoke
	ctest --test-dir $(BUILD) --output-on-failure -j $(JOBS)

# Installs the build into a temporary prefix and checks it (scripts/check-install).
check-install: build
	bash scripts/check-install $(BUILD)

# The Debian package, built into $(BUILD)/ by CPack and checked (scripts/check-package).
package: build
	cmake --build $(BUILD) --target package
	bash scripts/check-package $(BUILD)

test-asan: deps
	cmake -S . -B $(BUILD_ASAN) -G Ninja -DCMAKE_BUILD_TYPE=Debug -DLOOPWREN_WERROR=ON \
	  -DLOOPWREN_SANITIZE=address -DLOOPWREN_BENCHMARKS=OFF $(CMAKE_FLAGS)
	cmake --build $(BUILD_ASAN) -j $(JOBS) --target loopwren_core_tests loopwren_command_tests loopwren_playback_tests
	ctest --test-dir $(BUILD_ASAN) --output-on-failure -j $(JOBS) -E 'NOT_BUILT|^loopwren_|PlaybackRace'

test-tsan: deps
	cmake -S . -B $(BUILD_TSAN) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DLOOPWREN_WERROR=ON \
	  -DLOOPWREN_SANITIZE=thread -DLOOPWREN_BENCHMARKS=OFF $(CMAKE_FLAGS)
	cmake --build $(BUILD_TSAN) -j $(JOBS) --target loopwren_race_tests
	TSAN_OPTIONS=halt_on_error=1 ctest --test-dir $(BUILD_TSAN) --output-on-failure -R '^PlaybackRace'

# Clang's thread-safety analysis over the program, the renderer and the tools: every
# access to the engine state must hold the engine lock (warnings are errors).
test-locks: deps
	cmake -S . -B $(BUILD_CLANG) -G Ninja -DCMAKE_CXX_COMPILER=clang++ -DLOOPWREN_WERROR=ON \
	  -DLOOPWREN_TESTS=OFF -DLOOPWREN_BENCHMARKS=OFF $(CMAKE_FLAGS)
	cmake --build $(BUILD_CLANG) -j $(JOBS)

# libFuzzer over every reader of files (Clang, AddressSanitizer, UndefinedBehaviorSanitizer).
# `make fuzz` runs each target for FUZZ_SECONDS; `make test` runs each for 25 s.
fuzz-build: deps
	cmake -S . -B $(BUILD_FUZZ) -G Ninja -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo \
	  -DLOOPWREN_WERROR=ON -DLOOPWREN_SANITIZE=address -DLOOPWREN_FUZZ=ON -DLOOPWREN_TESTS=OFF \
	  -DLOOPWREN_BENCHMARKS=OFF $(CMAKE_FLAGS)
	cmake --build $(BUILD_FUZZ) -j $(JOBS) --target loopwren_fuzz

fuzz: fuzz-build
	bash fuzz/run $(BUILD_FUZZ) $(FUZZ_SECONDS)

fuzz-smoke: fuzz-build
	bash fuzz/run $(BUILD_FUZZ) 25

tidy: configure
	git ls-files 'src/*.cpp' 'tools/*.cpp' 'tests/*.cpp' | xargs -P $(JOBS) -n 4 clang-tidy -p $(BUILD) --quiet --warnings-as-errors='*' 2>&1 \
	  | { grep -v -E '^[0-9]+ warnings? generated\.$$' || true; }

bench: build
	$(BUILD)/bin/loopwren_engine_bench --benchmark_min_time=0.5
	$(BUILD)/bin/loopwren_render_bench --benchmark_min_time=0.5
	$(BUILD)/bin/loopwren_render_race
	$(BUILD)/bin/loopwren_export_bench --benchmark_min_time=0.5
	$(BUILD)/bin/loopwren_export_race
	$(BUILD)/bin/loopwren_songfile_bench
	$(BUILD)/bin/loopwren_playback_bench
	$(BUILD)/bin/loopwren_jack_bench 60
	$(BUILD)/bin/loopwren_startup_bench
	$(BUILD)/bin/loopwren_follow_sound_bench

format:
	git ls-files '*.cpp' '*.h' | xargs clang-format -i

# Fails on any tracked C++ file that `make format` would change.
format-check:
	git ls-files '*.cpp' '*.h' | xargs clang-format --dry-run -Werror

clean:
	rm -rf $(BUILD) $(BUILD_ASAN) $(BUILD_TSAN) $(BUILD_CLANG)
