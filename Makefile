# Two commands for a newcomer: `make run` and `make test`. Both install what is missing first.
BUILD ?= build
JOBS ?= $(shell nproc)
CMAKE_FLAGS ?=

.PHONY: all deps configure build deb test run bench crash-test format format-check asan fuzz clean

all: build

deps:
	@bash tools/install-deps.sh

configure: deps
	@cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo $(CMAKE_FLAGS) >/dev/null

build: configure
	@cmake --build $(BUILD) -j $(JOBS)

# The Debian package corvane_VERSION_amd64.deb, in $(BUILD).
deb: build
	@cd $(BUILD) && cpack -G DEB

test: deps format-check
	@cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DWARNINGS_AS_ERRORS=ON $(CMAKE_FLAGS) >/dev/null
	@cmake --build $(BUILD) -j $(JOBS)
	@cd $(BUILD) && ctest --output-on-failure -j $(JOBS)

run: build
	@bash tools/demo.sh $(BUILD)

bench: build
	@bash tools/bench.sh $(BUILD)

crash-test: build
	@python3 tools/crash_test.py $(BUILD)
	@python3 tools/concurrency_test.py $(BUILD)

format:
	@git ls-files '*.cpp' '*.h' | xargs clang-format -i

format-check: deps
	@git ls-files '*.cpp' '*.h' | xargs -r clang-format --dry-run --Werror

asan: deps
	@cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=Debug -DUSE_MIMALLOC=OFF \
	  -DCMAKE_CXX_FLAGS="-fsanitize=address,undefined -fno-omit-frame-pointer" >/dev/null
	@cmake --build build-asan -j $(JOBS)
	@cd build-asan && ctest --output-on-failure -j $(JOBS)

# libFuzzer targets under ASan and UBSan; FUZZ_SECONDS per target. Clang is installed here only.
FUZZ_SECONDS ?= 180
fuzz:
	@bash tools/install-deps.sh clang libclang-rt-14-dev
	@bash tools/fuzz.sh $(FUZZ_SECONDS)

clean:
	@rm -rf $(BUILD) build-asan build-fuzz
