# The front door. `make demo` shows the repair on a throwaway Wine registry;
# `make test` runs every test. Each target first installs what it needs and
# the machine lacks, and nothing more.

.PHONY: all exe demo test dist bench fuzz sanitize lint coverage memcheck clean

# The gcc cross build where there is a mingw-w64 gcc, else the clang one.
PRESET ?= $(if $(shell command -v i686-w64-mingw32-g++),win32,win32-clang)

all: exe

exe:
	@scripts/install-deps.sh exe
	cmake --preset $(PRESET)
	cmake --build --preset $(PRESET) --target provider-order

demo: exe
	@scripts/install-deps.sh demo
	@scripts/demo.sh build/$(PRESET)

test:
	@scripts/install-deps.sh test
	@scripts/test.sh

# Each fuzzer for FUZZ_SECONDS (default 60); fails on any finding.
FUZZ_SECONDS ?= 60
fuzz:
	@scripts/install-deps.sh test
	cmake --preset fuzz && cmake --build --preset fuzz
	FUZZ_SECONDS=$(FUZZ_SECONDS) ctest --preset fuzz

# The unit tests under AddressSanitizer and UndefinedBehaviorSanitizer
# (the native preset always builds them so).
sanitize:
	@scripts/install-deps.sh test
	cmake --preset native && cmake --build --preset native
	ctest --preset native

lint:
	@scripts/install-deps.sh test
	@scripts/lint.sh

memcheck:
	@scripts/install-deps.sh test
	@scripts/memcheck.sh

coverage:
	@scripts/install-deps.sh test
	@scripts/coverage.sh

# What an administrator copies, with its checksum to verify it by.
dist: exe
	rm -rf dist && mkdir -p dist
	cp build/$(PRESET)/provider-order.exe dist/
	cd dist && sha256sum provider-order.exe > SHA256SUMS
	@cat dist/SHA256SUMS

bench: exe
	@scripts/install-deps.sh demo
	@scripts/bench.sh build/$(PRESET)

clean:
	rm -rf build dist
