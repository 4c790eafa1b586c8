# The front door; CMake does the building (scripts/build.sh), scripts/ hold the steps.
.PHONY: all deps native win64 win32 test clean

all: native

deps:
	@scripts/install-deps.sh

native win64 win32: deps
	@scripts/build.sh $@

test:
	@scripts/test.sh

clean:
	rm -rf build
