# The commands of the README. Every target first installs whatever the machine lacks.
SHELL := /bin/bash
CMAKE_ARGS ?=

.PHONY: deps build build-win32 build-host test demo screenshots clean

deps:
	@scripts/install-deps.sh

build-win32: deps
	@cmake --preset win32 $(CMAKE_ARGS) >/dev/null
	@cmake --build --preset win32

build-host: deps
	@cmake --preset host $(CMAKE_ARGS) >/dev/null
	@cmake --build --preset host

build: build-win32 build-host

test: build
	@ctest --preset host

demo: build
	@scripts/demo.sh

clean:
	rm -rf build
