# make demo   build both DLLs and run the demo installer under Wine
# make demo-gui  the same installer with its pages, clicked through on the test bed's display, a
#             screenshot of each page saved under build/demo-gui/
# make test   build everything and run every test
# make bench  measure the DLLs' installer sizes with makensis, split the 32-bit DLL's size by component
#             from its link map, then run the benchmark program under Wine
# make dist   build both DLLs, then pack dist/qvnsis-<version>.zip for NSIS's folder (Plugins/, Include/,
#             Examples/qvnsis/, Docs/qvnsis/) from what that build linked
# make soak   repeat the demo's uninstall-and-reinstall cycle 50 times in one installer process
#             (SOAK_BITS=32: the 32-bit installer with the shipped 32-bit DLL)
SHELL := /bin/bash
export QVNSIS_DEPS_CACHE ?= /var/cache/qvnsis-deps

.PHONY: all packages deps build dll demo demo-gui test bench soak dist clean

all: build

packages:
	@bash scripts/install-packages.sh

deps: packages
	@bash scripts/build-deps.sh

build: deps
	@bash scripts/configure.sh x86-unicode
	@cmake --build --preset x86-unicode
	@bash scripts/configure.sh amd64-unicode
	@cmake --build --preset amd64-unicode
	@bash scripts/configure.sh x86-unicode-tests
	@cmake --build --preset x86-unicode-tests

# The two DLLs alone, as the package needs them.
dll: deps
	@bash scripts/configure.sh x86-unicode
	@cmake --build --preset x86-unicode
	@bash scripts/configure.sh amd64-unicode
	@cmake --build --preset amd64-unicode --target qvnsis

dist: dll
	@python3 scripts/make_dist.py . build/x86-unicode build/amd64-unicode dist

# Both trees run side by side, each to its end whatever the other's result; the 32-bit tree's
# tests skip where 32-bit programs do not run.
test: build
	@bash scripts/run-tests.sh

demo: build
	@bash examples/run-demo.sh

demo-gui: build
	@bash examples/run-demo-gui.sh

# The DLL sizes come from makensis on Linux and reach the benchmark program as arguments. The
# same program runs twice: the 64-bit build in 64-bit Windows, then the 32-bit build, which loads
# the shipped 32-bit DLL, in 32-bit Windows where 32-bit programs run; one table merges them.
bench: build
	@mkdir -p build/bench-sizes
	@bash bench/installer_sizes.sh dist build/bench-sizes >build/bench-sizes/sizes.txt
	@python3 bench/dll_breakdown.py build/x86-unicode/qvnsis.map dist/x86-unicode/qvnsis.dll
	@bash tests/testbed/testbed.sh start build/amd64-unicode/bench-testbed >/dev/null
	@bash tests/testbed/testbed.sh run build/amd64-unicode/bench-testbed \
	    build/amd64-unicode/bin/qvnsis_bench.exe $$(cat build/bench-sizes/sizes.txt) >build/bench-sizes/table64.txt; \
	  status=$$?; bash tests/testbed/testbed.sh stop build/amd64-unicode/bench-testbed >/dev/null; \
	  if [ $$status != 0 ]; then cat build/bench-sizes/table64.txt; exit $$status; fi
	@if bash tests/testbed/testbed.sh start build/x86-tests/bench-testbed win32 >build/bench-sizes/testbed32.txt; then \
	  bash tests/testbed/testbed.sh run build/x86-tests/bench-testbed \
	    build/x86-tests/bin/qvnsis_bench.exe $$(cat build/bench-sizes/sizes.txt) >build/bench-sizes/table32.txt; \
	  status=$$?; bash tests/testbed/testbed.sh stop build/x86-tests/bench-testbed >/dev/null; \
	  if [ $$status != 0 ]; then cat build/bench-sizes/table32.txt; exit $$status; fi; \
	  python3 bench/merge_tables.py build/bench-sizes/table64.txt build/bench-sizes/table32.txt; \
	else \
	  cat build/bench-sizes/table64.txt; echo "32-bit rows: $$(cat build/bench-sizes/testbed32.txt)"; \
	fi

soak: build
	@bash bench/soak.sh

clean:
	rm -rf build dist
