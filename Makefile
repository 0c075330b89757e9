# MUR.dll: the two commands.
#   make demo   build, then seed a scratch product directory through murhost
#   make test   build the three configurations and run every test
#   make bench  speed figures, as ratios against references measured alongside
JOBS ?= $(shell nproc 2>/dev/null || echo 2)

.PHONY: all deps demo test bench fuzz screenshot build-native build-win64 build-win32 build-bench clean

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

bench: build-bench build-win64 build-win32
	sh tools/bench.sh

# Each fuzz target for FUZZ_SECONDS (ctest runs them for a few seconds only).
FUZZ_SECONDS ?= 300
fuzz: build-native
	@for rule in access_mode version quoting; do \
	  echo "== fuzz_$$rule, $(FUZZ_SECONDS) s"; \
	  mkdir -p build/native/fuzz-corpus/$$rule; \
	  build/native/fuzz_$$rule -max_total_time=$(FUZZ_SECONDS) -max_len=4096 -print_final_stats=1 \
	    -dict=tests/fuzz/text_rules.dict build/native/fuzz-corpus/$$rule tests/fuzz/seeds 2>&1 | tail -3 || exit 1; \
	done

screenshot: build-win64
	sh tools/screenshot.sh

clean:
	rm -rf build
