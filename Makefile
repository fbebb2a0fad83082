# The front door. `make demo` shows the repair on a throwaway Wine registry;
# `make test` runs every test. Both install what the machine lacks first.

.PHONY: all deps exe demo test clean

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

clean:
	rm -rf build
