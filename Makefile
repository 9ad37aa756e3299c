# Two commands do everything:
#   make sample   builds symdeck and converts the bundled sample database
#   make test     builds everything and runs the whole test suite
BUILD ?= build
CMAKE_FLAGS ?=

.PHONY: all sample test clean

all: $(BUILD)/build.ninja
	cmake --build $(BUILD)

$(BUILD)/build.ninja:
	cmake -S . -B $(BUILD) -G Ninja -DCMAKE_BUILD_TYPE=Release $(CMAKE_FLAGS)

sample: all
	./$(BUILD)/symdeck $(BUILD)/sample.nms $(BUILD)/sample.txt
	@echo "The report of $(BUILD)/sample.nms is in $(BUILD)/sample.txt"

test: all
	ctest --test-dir $(BUILD) --output-on-failure

clean:
	rm -rf $(BUILD)
