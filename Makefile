# Two commands do everything:
#   make sample   builds symdeck and converts the bundled sample database
#   make test     builds everything and runs the whole test suite
# and, for the reliability checks that CI runs as well:
#   make check-sanitize   the whole test suite built with ASan and UBSan
#   make fuzz             libFuzzer for FUZZ_SECONDS seconds (clang)
BUILD ?= build
CMAKE_FLAGS ?=
FUZZ_SECONDS ?= 60

.PHONY: all sample test check-sanitize fuzz clean

all: $(BUILD)/build.ninja
	cmake --build $(BUILD)

$(BUILD)/build.ninja:
	cmake -S . -B $(BUILD) -G Ninja -DCMAKE_BUILD_TYPE=Release $(CMAKE_FLAGS)

sample: all
	./$(BUILD)/symdeck $(BUILD)/sample.nms $(BUILD)/sample.txt
	@echo "The report of $(BUILD)/sample.nms is in $(BUILD)/sample.txt"

test: all
	ctest --test-dir $(BUILD) --output-on-failure

check-sanitize:
	cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DSYMDECK_SANITIZE=ON
	cmake --build build-asan
	ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
	  ctest --test-dir build-asan --output-on-failure

fuzz:
	fuzz/run.sh $(FUZZ_SECONDS)

clean:
	rm -rf $(BUILD) build-asan build-fuzz
