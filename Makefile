# Every target installs what it needs, configures and builds before it runs.
CC_FLAGS  := -DCMAKE_C_COMPILER=clang-14 -DCMAKE_CXX_COMPILER=clang++-14
# Debian's default compiler: the tree must build with it too, without warnings.
GCC_FLAGS := -DCMAKE_C_COMPILER=gcc-12 -DCMAKE_CXX_COMPILER=g++-12
FUZZ_SECONDS ?= 60

.PHONY: all deps test demo bench fuzz format format-check clean

all: demo

deps:
	@bash scripts/install-deps.sh

build/test/build.ninja: | deps
	cmake -S . -B build/test -G Ninja $(CC_FLAGS) -DCMAKE_BUILD_TYPE=Debug \
	  -DQUILLON_SANITIZE=ON -DQUILLON_WERROR=ON

build/gcc/build.ninja: | deps
	cmake -S . -B build/gcc -G Ninja $(GCC_FLAGS) -DCMAKE_BUILD_TYPE=Release -DQUILLON_WERROR=ON

build/release/build.ninja: | deps
	cmake -S . -B build/release -G Ninja $(CC_FLAGS) -DCMAKE_BUILD_TYPE=Release

build/fuzz/build.ninja: | deps
	cmake -S . -B build/fuzz -G Ninja $(CC_FLAGS) -DCMAKE_BUILD_TYPE=RelWithDebInfo \
	  -DQUILLON_SANITIZE=ON -DQUILLON_FUZZ_COVERAGE=ON

test: deps build/test/build.ninja build/gcc/build.ninja
	bash scripts/format.sh --check
	cmake --build build/test
	ctest --test-dir build/test --output-on-failure -j2
	cmake --build build/gcc

demo: deps build/release/build.ninja
	cmake --build build/release
	bash scripts/demo.sh build/release

bench: deps build/release/build.ninja
	cmake --build build/release
	bash scripts/bench.sh build/release

fuzz: deps build/fuzz/build.ninja
	cmake --build build/fuzz
	bash scripts/fuzz.sh build/fuzz $(FUZZ_SECONDS)

format: deps
	bash scripts/format.sh

format-check: deps
	bash scripts/format.sh --check

clean:
	rm -rf build
