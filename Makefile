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

# One ctest run over every build, so that its summary closes the output.
test: build
	@cmake --preset fuzz >/dev/null
	@cmake --build --preset fuzz --target report_fuzz >/dev/null
	@mkdir -p build/all
	@{ for p in $(PRESETS_NATIVE) $(PRESETS_WINDOWS); do echo "subdirs(\"$(CURDIR)/build/$$p\")"; done; \
	   echo "subdirs(\"$(CURDIR)/build/fuzz/tests/fuzz\")"; } > build/all/CTestTestfile.cmake
	@ctest --test-dir build/all --output-on-failure

fuzz: deps
	@bash tools/fuzz.sh $(FUZZ_SECONDS)

bench: deps
	@bash tools/bench.sh

clean:
	rm -rf build
