# The front door. `make demo` shows the repair on a throwaway Wine registry;
# `make test` runs every test. Both install what the machine lacks first.

.PHONY: all deps exe demo test dist bench clean

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
