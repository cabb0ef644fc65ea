# One entry point for both builds and every test suite.
#   make          build the host tools (build/host) and the Windows programs (build/win)
#   make test     unit tests (sanitized), Windows-side tests and end-to-end tests under Wine
#   make demo     build the example product into a setup executable and run it under Wine
#   make fuzz     run the fuzz targets (FUZZ_SECONDS each, default 600)

JOBS ?= 2
FUZZ_SECONDS ?= 600
PYTHON ?= /usr/bin/python3
PYTEST ?= $(PYTHON) -m pytest


.PHONY: all bootstrap host win wintest asan unit e2e test demo fuzz fuzz-smoke clean

all: host win

bootstrap:
	bash scripts/bootstrap.sh

build/host/Makefile:
	cmake -S . -B build/host -DCMAKE_BUILD_TYPE=Release
build/win/Makefile:
	cmake -S . -B build/win -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake -DCMAKE_BUILD_TYPE=MinSizeRel
build/wintest/Makefile:
	cmake -S . -B build/wintest -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686-posix.cmake -DCMAKE_BUILD_TYPE=Release -DSTUB_WIN_TESTS=ON
build/asan/Makefile:
	cmake -S . -B build/asan -DCMAKE_BUILD_TYPE=Debug -DSTUB_SANITIZE=ON
build/fuzz/Makefile:
	CC=clang CXX=clang++ cmake -S . -B build/fuzz -DCMAKE_BUILD_TYPE=Debug -DSTUB_FUZZ=ON -DSTUB_SANITIZE=ON

host: build/host/Makefile
	cmake --build build/host -j $(JOBS)
win: build/win/Makefile
	cmake --build build/win -j $(JOBS)
asan: build/asan/Makefile
	cmake --build build/asan -j $(JOBS) --target unit_tests

unit: asan
	build/asan/unit_tests

wintest: build/wintest/Makefile
	cmake --build build/wintest -j $(JOBS) --target win_unit_tests testproduct chatty finisher

e2e: all wintest
	$(PYTEST) -q tests/e2e

fuzz-smoke: build/fuzz/Makefile
	cmake --build build/fuzz -j $(JOBS) --target fuzz_package
	FUZZ_SECONDS=20 tests/fuzz/run.sh build/fuzz

fuzz: build/fuzz/Makefile
	cmake --build build/fuzz -j $(JOBS) --target fuzz_package
	FUZZ_SECONDS=$(FUZZ_SECONDS) tests/fuzz/run.sh build/fuzz

test: bootstrap
	$(MAKE) unit fuzz-smoke e2e

demo: bootstrap
	$(MAKE) all
	$(PYTHON) scripts/demo.py

clean:
	rm -rf build
