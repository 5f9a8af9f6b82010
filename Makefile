# Every target installs what it needs, configures and builds before it runs.
CC_FLAGS  := -DCMAKE_C_COMPILER=clang-14 -DCMAKE_CXX_COMPILER=clang++-14
# Debian's default compiler: the tree must build with it too, without warnings.
GCC_FLAGS := -DCMAKE_C_COMPILER=gcc-12 -DCMAKE_CXX_COMPILER=g++-12
FUZZ_SECONDS ?= 60

.PHONY: all deps test demo bench fuzz format format-check clean install-gimp

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

# The GIMP plug-in and the module it hosts, side by side in the user's GIMP plug-in folder:
# $GIMP2_DIRECTORY (relative to the home folder when not absolute), else GIMP 2.10's own folder.
install-gimp: deps build/release/build.ninja
	cmake --build build/release --target quillon-gimp
	@dir="$${GIMP2_DIRECTORY:-$${XDG_CONFIG_HOME:-$$HOME/.config}/GIMP/2.10}"; \
	case "$$dir" in /*) ;; *) dir="$$HOME/$$dir" ;; esac; \
	mkdir -p "$$dir/plug-ins/quillon-gimp" && \
	install -m 755 build/release/gimp/quillon-gimp/quillon-gimp \
	  build/release/gimp/quillon-gimp/Quillon.8bf "$$dir/plug-ins/quillon-gimp/" && \
	echo "installed into $$dir/plug-ins/quillon-gimp; restart GIMP: Filters > Colors > Quillon..."

format: deps
	bash scripts/format.sh

format-check: deps
	bash scripts/format.sh --check

clean:
	rm -rf build
