# make demo   build both DLLs and run the demo installer under Wine
# make test   build everything and run every test
# make bench  measure the DLLs' installer sizes with makensis, split the 32-bit DLL's size by component
#             from its link map, then run the benchmark program under Wine
# make soak   repeat the demo's uninstall-and-reinstall cycle 50 times in one installer process
SHELL := /bin/bash
export QVNSIS_DEPS_CACHE ?= /var/cache/qvnsis-deps

.PHONY: all packages deps build demo test bench soak clean

all: build

packages:
	@bash scripts/install-packages.sh

deps: packages
	@bash scripts/build-deps.sh

build: deps
	@cmake --preset x86-unicode >/dev/null
	@cmake --build --preset x86-unicode
	@cmake --preset amd64-unicode >/dev/null
	@cmake --build --preset amd64-unicode

test: build
	@ctest --preset amd64-unicode

demo: build
	@bash examples/run-demo.sh

# The DLL sizes come from makensis on Linux and reach the benchmark program as arguments.
bench: build
	@mkdir -p build/bench-sizes
	@bash bench/installer_sizes.sh dist build/bench-sizes >build/bench-sizes/sizes.txt
	@python3 bench/dll_breakdown.py build/x86-unicode/qvnsis.map dist/x86-unicode/qvnsis.dll
	@bash tests/testbed/testbed.sh start build/amd64-unicode/bench-testbed >/dev/null
	@bash tests/testbed/testbed.sh run build/amd64-unicode/bench-testbed \
	    build/amd64-unicode/bin/qvnsis_bench.exe $$(cat build/bench-sizes/sizes.txt); status=$$?; \
	  bash tests/testbed/testbed.sh stop build/amd64-unicode/bench-testbed >/dev/null; exit $$status

soak: build
	@bash bench/soak.sh

clean:
	rm -rf build dist
