# The front door. `make demo` shows the repair on a throwaway Wine registry;
# `make test` runs every test. Each target first installs what it needs and
# the machine lacks, and nothing more.

.PHONY: all exe wine-exe demo demo-run bench-run test dist sign bench fuzz sanitize lint coverage memcheck clean

# The cross build: the gcc one where there is a mingw-w64 gcc or no
# toolchain yet, else the clang one. install-deps names it with the probes
# that decide what it installs, so the name holds before the install (a
# fresh machine gets the gcc) as well as after.
ifndef PRESET
PRESET := $(shell scripts/install-deps.sh --preset)
endif

# Where 32-bit programs cannot start under Wine (a kernel without ia32
# emulation), the demo and the bench run the 64-bit build of the same sources.
# Asked of install-deps, which runs in bash: wine-env.sh is bash, and
# $(shell) would read it with /bin/sh. No answer is an error, never a guess.
# Worked out on first use, once.
WINE_PRESET = $(eval WINE_PRESET := $(or $(shell scripts/install-deps.sh --wine-preset),\
	$(error cannot tell which build runs under Wine)))$(WINE_PRESET)

all: exe

exe:
	@scripts/install-deps.sh exe
	cmake --preset $(PRESET)
	cmake --build --preset $(PRESET) --target provider-order provider-order-check

# The runs are sub-makes, so that WINE_PRESET is worked out once Wine is in.
# The demo builds only what it runs, quietly: a newcomer reads the demo,
# and the build's output only where the build fails.
demo:
	@scripts/install-deps.sh exe
	@scripts/quiet-build.sh --preset $(PRESET)
	@scripts/install-deps.sh demo
	@$(MAKE) --no-print-directory demo-run

demo-run: wine-exe
	@scripts/demo.sh build/$(WINE_PRESET)

test:
	@scripts/install-deps.sh test
	@scripts/test.sh

# Each fuzzer for FUZZ_SECONDS (default 60); fails on any finding.
FUZZ_SECONDS ?= 60
fuzz:
	@scripts/install-deps.sh test
	cmake --preset fuzz -DFUZZ_SECONDS=$(FUZZ_SECONDS) && cmake --build --preset fuzz
	ctest --preset fuzz

# The unit tests under AddressSanitizer and UndefinedBehaviorSanitizer
# (the native preset always builds them so), and the checker's, whose
# threads are real ones, under ThreadSanitizer (setarch -R: see test.sh).
sanitize:
	@scripts/install-deps.sh test
	cmake --preset native && cmake --build --preset native
	ctest --preset native
	cmake --preset tsan && cmake --build --preset tsan
	$$(setarch $$(uname -m) -R true 2>/dev/null && echo setarch $$(uname -m) -R) ctest --preset tsan

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
	cp build/$(PRESET)/provider-order.exe build/$(PRESET)/provider-order-check.exe dist/
	cd dist && sha256sum provider-order.exe provider-order-check.exe > SHA256SUMS
	@cat dist/SHA256SUMS

# Signs dist/ with your organisation's certificate:
#   make sign SIGN_PFX=cert.pfx SIGN_PASSWORD_FILE=pass.txt [SIGN_TIMESTAMP_URL=url]
sign:
	@SIGN_PFX="$(SIGN_PFX)" scripts/sign.sh --check
	@$(MAKE) --no-print-directory dist
	@SIGN_PFX="$(SIGN_PFX)" SIGN_PASSWORD_FILE="$(SIGN_PASSWORD_FILE)" SIGN_TIMESTAMP_URL="$(SIGN_TIMESTAMP_URL)" \
		scripts/sign.sh dist

bench: exe
	@scripts/install-deps.sh bench
	@$(MAKE) --no-print-directory bench-run

# The fleet figure needs the tests' stand-in for a slow network.
bench-run: wine-exe
	@cmake --build --preset $(WINE_PRESET) --target slow_network with_slow_network >/dev/null
	@scripts/bench.sh build/$(WINE_PRESET)

wine-exe:
	@[ "$(WINE_PRESET)" = "$(PRESET)" ] || scripts/quiet-build.sh --preset $(WINE_PRESET)

clean:
	rm -rf build dist
