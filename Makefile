# MUR.dll: the two commands.
#   make demo   build, then seed a scratch product directory through murhost
#   make test   build the three configurations and run every test (the
#               32-bit Wine tier is skipped where 32-bit x86 code cannot run)
#   make bench  speed figures, as ratios against references measured alongside
#   make dist   the package: dist/MUR-VERSION.zip
JOBS ?= $(shell nproc 2>/dev/null || echo 2)
# Whether this machine runs 32-bit x86 code, checked once per make run and
# handed to every step: "yes" or "no: REASON" (tools/can-run-32bit).
# MUR_RUN_32BIT=no answers no, to try what a machine without it does.
MUR_32BIT := $(shell MUR_RUN_32BIT='$(MUR_RUN_32BIT)' sh tools/can-run-32bit)
export MUR_32BIT

.PHONY: all deps demo test bench dist fuzz screenshot build-native build-win64 build-win32 build-bench clean

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
	@sh tools/test.sh

bench: build-bench build-win64 build-win32
	sh tools/bench.sh

# Both DLLs, their import libraries, the header and the setup engines'
# include files, a README and SHA-256 sums, checked once written.
dist: build-win32 build-win64
	@sh tools/dist.sh dist

# Each fuzz target for FUZZ_SECONDS (ctest runs them for a few seconds only).
FUZZ_SECONDS ?= 300
fuzz: build-native
	@for rule in access_mode version quoting; do \
	  echo "== fuzz_$$rule, $(FUZZ_SECONDS) s"; \
	  mkdir -p build/native/fuzz-corpus/$$rule; \
	  mkdir -p build/native/fuzz-artifacts; \
	  build/native/fuzz_$$rule -max_total_time=$(FUZZ_SECONDS) -max_len=4096 -print_final_stats=1 \
	    -artifact_prefix=build/native/fuzz-artifacts/$$rule- \
	    -dict=tests/fuzz/text_rules.dict build/native/fuzz-corpus/$$rule tests/fuzz/seeds \
	    >build/native/fuzz-$$rule.log 2>&1; \
	  found=$$?; tail -3 build/native/fuzz-$$rule.log; \
	  [ $$found -eq 0 ] || { echo "fuzz_$$rule failed ($$found): build/native/fuzz-$$rule.log"; exit 1; }; \
	done

screenshot: build-win64
	sh tools/screenshot.sh

clean:
	rm -rf build
