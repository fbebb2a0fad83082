# The front door. `make demo` shows the repair on a throwaway Wine registry;
# `make test` runs every test. Both install what the machine lacks first.

.PHONY: all deps exe demo test dist bench fuzz sanitize lint coverage memcheck clean

all: exe

deps:
	@scripts/install-deps.sh

exe: deps
	cmake --preset win32
	cmake --build --preset win32 --target provider-order

demo: exe
	@scripts/demo.sh

test: deps
	@scripts/test.sh

# Each fuzzer for FUZZ_SECONDS (default 60); fails on any finding.
FUZZ_SECONDS ?= 60
fuzz: deps
	cmake --preset fuzz && cmake --build --preset fuzz
	FUZZ_SECONDS=$(FUZZ_SECONDS) ctest --preset fuzz

# The unit tests under AddressSanitizer and UndefinedBehaviorSanitizer
# (the native preset always builds them so).
sanitize: deps
	cmake --preset native && cmake --build --preset native
	ctest --preset native

lint: deps
	@scripts/lint.sh

memcheck: deps
	@scripts/memcheck.sh

coverage: deps
	@scripts/coverage.sh

# What an administrator copies, with its checksum to verify it by.
dist: exe
	rm -rf dist && mkdir -p dist
	cp build/win32/provider-order.exe dist/
	cd dist && sha256sum provider-order.exe > SHA256SUMS
	@cat dist/SHA256SUMS

bench: exe
	@scripts/bench.sh

clean:
	rm -rf build dist
