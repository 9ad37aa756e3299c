# Two commands do everything:
#   make sample   builds symdeck and the bundled sample database (nothing else) and converts it
#   make viewer   builds the viewer's page, $(BUILD)/viewer/symdeck-viewer.html (needs the
#                 WebAssembly packages: tools/test-deps.sh install wasm)
#   make test     installs the test suite's packages where missing (tools/test-deps.sh),
#                 builds everything and runs the whole test suite
# and, for the reliability checks that CI runs as well:
#   make check-sanitize   the whole test suite built with ASan and UBSan
#   make fuzz             libFuzzer for FUZZ_SECONDS seconds (clang)
# and for Windows (MinGW-w64 and Wine, see docs/windows.md):
#   make windows          cross-builds build-windows/symdeck.exe and its ZIP
#   make test-windows     the test suite under Wine, and the reports compared with Linux's
# and for WebAssembly (clang-14 for wasm32-wasi, node; see docs/webassembly.md):
#   make wasm             builds build-wasm/symdeck.wasm, its launcher symdeck-wasm and the
#                         core alone, symdeck-core.wasm (make test builds and tests them too)
# and the Python package (docs/python.md):
#   make python           builds its wheel into $(BUILD)/python/ with Debian's Python, the
#                         core compiled in $(BUILD)/python/core
BUILD ?= build
WINDOWS_BUILD ?= build-windows
WASM_BUILD ?= build-wasm
CMAKE_FLAGS ?=
FUZZ_SECONDS ?= 60

.PHONY: all sample test check-sanitize fuzz windows test-windows wasm viewer python clean

all: $(BUILD)/build.ninja
	cmake --build $(BUILD)

$(BUILD)/build.ninja:
	cmake -S . -B $(BUILD) -G Ninja -DCMAKE_BUILD_TYPE=Release $(CMAKE_FLAGS)

# Only what the report of the sample needs: the program (with the viewer's page where the
# WebAssembly packages are installed) and the sample database, not the tests or benchmarks.
sample: $(BUILD)/build.ninja
	cmake --build $(BUILD) --target symdeck sample
	./$(BUILD)/symdeck $(BUILD)/sample.nms $(BUILD)/sample.txt
	@echo "The report of $(BUILD)/sample.nms is in $(BUILD)/sample.txt"

# The test suite's packages first (tools/test-deps.sh installs what is missing), then a
# configuration that insists on them: a build configured before they were there (make
# sample on the bare image) gets its tests now.
# The WebAssembly builds are among them: their tests (tests/wasm) compare them with this one.
test:
	tools/test-deps.sh install test wasm browser
	cmake -S . -B $(BUILD) -G Ninja -DCMAKE_BUILD_TYPE=Release -DSYMDECK_REQUIRE_TESTS=ON $(CMAKE_FLAGS)
	cmake --build $(BUILD)
	$(MAKE) wasm
	ctest --test-dir $(BUILD) --output-on-failure

viewer:
	@missing=$$(tools/test-deps.sh check wasm) || \
	  { echo "make viewer needs these packages: $$missing (tools/test-deps.sh install wasm)"; exit 1; }
	cmake -S . -B $(BUILD) -G Ninja -DCMAKE_BUILD_TYPE=Release $(CMAKE_FLAGS)
	cmake --build $(BUILD) --target viewer
	@echo "The viewer is $(BUILD)/viewer/symdeck-viewer.html"

check-sanitize:
	tools/test-deps.sh install test
	cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DSYMDECK_SANITIZE=ON
	cmake --build build-asan
	ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
	  ctest --test-dir build-asan --output-on-failure

fuzz:
	tools/test-deps.sh install fuzz
	fuzz/run.sh $(FUZZ_SECONDS)

windows: $(WINDOWS_BUILD)/build.ninja
	cmake --build $(WINDOWS_BUILD)
	if [ -e $(WINDOWS_BUILD)/symdeck.exe ]; then cd $(WINDOWS_BUILD) && cpack -G ZIP; fi

$(WINDOWS_BUILD)/build.ninja:
	cmake -S . -B $(WINDOWS_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=Release \
	  -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake

test-windows:
	tools/test-deps.sh install test windows
	$(MAKE) all windows
	tools/test-windows.sh $(BUILD) $(WINDOWS_BUILD)

# Without the packages it needs this says which, in one line, and stops.
wasm:
	@missing=$$(tools/test-deps.sh check wasm) || \
	  { echo "make wasm needs these packages: $$missing (tools/test-deps.sh install wasm)"; exit 1; }
	@[ -e $(WASM_BUILD)/build.ninja ] || cmake -S . -B $(WASM_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=Release \
	  -DCMAKE_TOOLCHAIN_FILE=cmake/wasm32-wasi.cmake
	cmake --build $(WASM_BUILD)

python:
	SYMDECK_CORE_BUILD=$(abspath $(BUILD))/python/core /usr/bin/python3 -m pip wheel --no-build-isolation --no-deps --wheel-dir $(BUILD)/python ./python
	@echo "The wheel is in $(BUILD)/python/"

clean:
	rm -rf $(BUILD) build-asan build-fuzz $(WINDOWS_BUILD) $(WASM_BUILD)
