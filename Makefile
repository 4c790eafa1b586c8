# The front door; CMake does the building (scripts/build.sh), scripts/ hold the steps.
.PHONY: all deps native win64 win32 run test clean

FILE ?= examples/kontakte.csv

all: native

deps:
	@scripts/install-deps.sh

native win64 win32: deps
	@scripts/build.sh $@

run: native
	@build/native/cli/voxaro-preview "$(FILE)"

test:
	@scripts/test.sh

clean:
	rm -rf build
