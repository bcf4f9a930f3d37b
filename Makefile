# make run   - set up what is missing, build, start the program under Wine
# make test  - set up what is missing, build, run every test in the sandbox
# make build - leave the program at build/varnook.exe
.PHONY: all setup build run test screenshot bench clean resources fuzz

TOP := $(CURDIR)
CROSS := build/cross
CMAKE_ARGS := -DCMAKE_TOOLCHAIN_FILE=$(TOP)/cmake/mingw-w64-x86_64.cmake \
              -DCMAKE_PREFIX_PATH=$(TOP)/build/deps/mingw -DCMAKE_BUILD_TYPE=Release

all: build

setup:
	@tools/setup.sh

build: setup
	@cmake -S . -B $(CROSS) $(CMAKE_ARGS) >/dev/null
	@cmake --build $(CROSS) -j$$(nproc)
	@cp $(CROSS)/varnook.exe build/varnook.exe
	@echo "built build/varnook.exe"

run: build
	@tools/run.sh

test: build
	@tests/sandbox.sh ctest --test-dir $(CROSS) --output-on-failure -j2

screenshot: build
	@tests/sandbox.sh tests/screenshot.sh docs/screenshot.png

# Every figure of the performance table against its floor, measured in the
# sandbox with its own Wine prefix (kept between runs); never part of
# `make test`. The output is also left in build/bench.txt.
bench: build
	@bench/setup.sh
	@VARNOOK_RUN_DIR=$(TOP)/build/bench-run VARNOOK_KEEP_PREFIX=1 tests/sandbox.sh bench/run.sh

# The pure parsers under libFuzzer with the address and undefined-behaviour
# sanitizers, natively, 60 s each (FUZZ_SECONDS=...); not part of `make test`.
FUZZ_SECONDS ?= 60
fuzz:
	@fuzz/run.sh $(FUZZ_SECONDS)

resources:
	python3 res/make_credit_png.py res/credit.png
	python3 res/make_icon.py res/varnook.ico
	python3 res/make_window_data.py res/main_window.dat

clean:
	rm -rf $(CROSS) build/varnook.exe build/test-run
