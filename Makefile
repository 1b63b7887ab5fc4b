# The two commands of the README: `make run` and `make test`.
# Both install what is missing first (tools/install-deps.sh).
SHELL := /bin/bash
PRESETS_NATIVE := native native-asan
PRESETS_WINDOWS := x86 x64

.PHONY: run test build deps fuzz bench clean

deps:
	@bash tools/install-deps.sh

build: deps
	@set -e; for p in $(PRESETS_NATIVE) $(PRESETS_WINDOWS); do \
	  cmake --preset $$p >/dev/null; \
	  cmake --build --preset $$p >/dev/null || cmake --build --preset $$p; \
	done

run: build
	@bash tools/run.sh

# ctest in every build, then one line that sums them up.
test: build
	@cmake --preset fuzz >/dev/null
	@cmake --build --preset fuzz --target report_fuzz >/dev/null
	@bash tools/test-all.sh $(foreach p,$(PRESETS_NATIVE) $(PRESETS_WINDOWS),build/$(p)) build/fuzz/tests/fuzz

fuzz: deps
	@bash tools/fuzz.sh $(FUZZ_SECONDS)

bench: deps
	@bash tools/bench.sh

clean:
	rm -rf build
