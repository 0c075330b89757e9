# MUR.dll: the two commands.
#   make demo   build, then seed a scratch product directory through murhost
#   make test   build the three configurations and run every test
#   make bench  speed figures, as ratios against references measured alongside
JOBS ?= $(shell nproc 2>/dev/null || echo 2)

.PHONY: all deps demo test bench screenshot build-native build-win64 build-win32 build-bench clean

all: build-win32 build-win64

deps:
	@sh tools/install-deps

build-native build-win64 build-win32 build-bench: build-%: deps
	@mkdir -p build
	@cmake --preset $* >build/$*.configure.log 2>&1 || { cat build/$*.configure.log; exit 1; }
	@cmake --build --preset $* -j $(JOBS) >build/$*.build.log 2>&1 || { tail -40 build/$*.build.log; exit 1; }
	@echo "built $* (log: build/$*.build.log)"

demo: build-win32 build-win64
	sh tools/demo.sh

test: build-native build-win64 build-win32
	ctest --preset native
	ctest --preset win64
	ctest --preset win32

bench: build-bench build-win64
	sh tools/bench.sh

screenshot: build-win64
	sh tools/screenshot.sh

clean:
	rm -rf build
