# Entry points for people and CI. `make test` is the project's test command.
.PHONY: deps build demo test test-default test-sanitize test-browser test-windows package bench bench-load fuzz format lint clean

deps:
	scripts/install-deps.sh

build: deps
	cmake --preset default
	cmake --build --preset default

# The main job: one voter's whole road against reference servers on loopback.
demo: build
	build/default/apps/ardenax/ardenax demo

# The stages run side by side once the packages are in and the normal build,
# which most of them use, is made, the longest first; each stage's output is
# shown whole when it ends.
TEST_STAGES = test-sanitize test-windows test-default test-browser package lint
test: build
	$(MAKE) --no-print-directory -j$(shell nproc) --output-sync=target $(TEST_STAGES)

test-default: build
	ctest --preset default --parallel $(shell nproc)

test-sanitize: deps
	cmake --preset sanitize
	cmake --build --preset sanitize
	ctest --preset sanitize --parallel $(shell nproc)

# The browser tests drive the normal build's programs in a real Chromium.
test-browser: build
	scripts/install-browser-deps.sh
	node --test tests/browser/

# The Debian package, checked by lintian (what is left on purpose is in
# packaging/lintian-overrides).
package: build
	rm -f build/default/ardenax_*.deb
	cd build/default && cpack -G DEB
	lintian --fail-on error,warning build/default/ardenax_*.deb

# The Windows product, cross-built with mingw-w64 and tested under Wine,
# against the normal build's reference servers; Xvfb is the display of the
# message boxes.
test-windows: build
	scripts/install-windows-deps.sh
	scripts/build-windows-deps.sh
	cmake --preset windows
	cmake --build --preset windows
	xvfb-run -a ctest --preset windows --parallel $(shell nproc)

# Every fuzz target for FUZZ_SECONDS each (the tests run them for a few seconds).
FUZZ_SECONDS ?= 60
fuzz: deps
	cmake --preset sanitize
	cmake --build --preset sanitize
	for target in build/sanitize/fuzz/*_fuzzer; do \
		name=$$(basename $$target _fuzzer); \
		$$target -max_total_time=$(FUZZ_SECONDS) -print_final_stats=1 \
			-artifact_prefix=build/sanitize/fuzz/artifacts/ \
			build/sanitize/fuzz/corpus/$$name fuzz/corpus/$$name || exit 1; \
	done

# One table: each operation's median beside the raw OpenSSL calls' (quiet machine wanted).
bench: build
	build/default/bench/ardenax_bench

# Not a test: votes a second and answer times of SMV processes on SQLite and on
# PostgreSQL, LOAD_SECONDS a row, on whatever this machine has to spare.
LOAD_SECONDS ?= 60
bench-load: build
	build/default/bench/ardenax_load --seconds $(LOAD_SECONDS)

format:
	git ls-files '*.cpp' '*.h' | xargs clang-format -i

# Layers, formatting, and clang-tidy on the sources the normal build compiles
# (a source whose preprocessed input, flags and checks a clean run already saw
# is not checked again: see the script).
lint: build
	scripts/check-layers.sh
	git ls-files '*.cpp' '*.h' | xargs clang-format --dry-run --Werror
	grep -o '"file": "$(CURDIR)/\(src\|apps\|tests\)/[^"]*\.cpp"' build/default/compile_commands.json | \
	    cut -d'"' -f4 | sort -u | xargs scripts/clang-tidy-cached.py -p build/default

clean:
	rm -rf build
