# The commands of the README: `make run`, `make test` and `make dist`.
# Each installs what is missing first (tools/install-deps.sh).
SHELL := /bin/bash
PRESETS_NATIVE := native native-asan
PRESETS_WINDOWS := x86 x64

.PHONY: run run-pen test test-x86 build dist deps fuzz bench clean

deps:
	@bash tools/install-deps.sh

build: deps
	@set -e; for p in $(PRESETS_NATIVE) $(PRESETS_WINDOWS); do \
	  cmake --preset $$p >/dev/null; \
	  cmake --build --preset $$p >/dev/null || cmake --build --preset $$p; \
	done

run: build
	@bash tools/run.sh

# The pen tester window with a scripted stroke, and its screenshot.
run-pen: build
	@bash tools/run-pen.sh

# Every build, then ctest in each and one line that sums them up; the x86
# build's tests run last, in the emulated x86 machine (tools/make-test.sh),
# which is built in the background on a host that has none cached yet.
test: deps
	@bash tools/make-test.sh

# The x86 lane alone: the 32-bit build's tests in the emulated x86 machine
# (built on first use into /var/cache/padscope: 4 minutes on a quiet host).
test-x86: deps
	@cmake --preset x86 >/dev/null
	@cmake --build --preset x86 >/dev/null || cmake --build --preset x86
	@bash tools/test-all.sh build/x86

# The release: build/dist/padscope-VERSION.zip with both editions, built in
# folders of their own (tools/dist.sh).
dist: deps
	@bash tools/dist.sh

fuzz: deps
	@bash tools/fuzz.sh $(FUZZ_SECONDS)

bench: deps
	@bash tools/bench.sh

clean:
	rm -rf build
