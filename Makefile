# The commands of the README. Every target first installs whatever the machine lacks.
SHELL := /bin/bash
CMAKE_ARGS ?=

SETUP_EXE := build/win32/CorvantaWebSetup.exe
SETUP_MAP := build/win32/CorvantaWebSetup.map
SIGNED_EXE := build/win32/signed/CorvantaWebSetup.exe
RELEASE_CHECK := python3 release/release_check.py --build-path "$(CURDIR)" --build-path "$(CURDIR)/build/win32" \
  --map $(SETUP_MAP)
SIGN_USAGE := usage: make sign CERT=cert.pem KEY=key.pem [KEY_PASSWORD_FILE=file] [TIMESTAMP_URL=url]

.PHONY: deps build build-win32 build-host test fuzz demo screenshots bench clean sign release-check

ifneq ($(filter sign,$(MAKECMDGOALS)),)
  ifeq ($(and $(CERT),$(KEY)),)
    $(error $(SIGN_USAGE))
  endif
endif

deps:
	@scripts/install-deps.sh

build-win32: deps
	@cmake --preset win32 $(CMAKE_ARGS) >/dev/null
	@cmake --build --preset win32

build-host: deps
	@cmake --preset host $(CMAKE_ARGS) >/dev/null
	@cmake --build --preset host

build: build-win32 build-host

# The release check runs first; ctest's summary still ends the output.
test: build
	@status=0; $(RELEASE_CHECK) $(SETUP_EXE) || status=1; ctest --preset host || status=1; exit $$status

# The manifest parser's fuzzer, for FUZZ_SECONDS; what it finds stays in build/host/tests/fuzz.
FUZZ_SECONDS ?= 600
fuzz: build-host
	@tests/fuzz/run-fuzzer.sh build/host/tests/fuzz/manifest_fuzzer $(FUZZ_SECONDS)

release-check: build-win32
	@$(RELEASE_CHECK) $(SETUP_EXE)

# Writes the signed copy next to the build; the built exe stays unsigned.
sign: build-win32
	@release/sign.sh --cert "$(CERT)" --key "$(KEY)" \
	  $(if $(KEY_PASSWORD_FILE),--password-file "$(KEY_PASSWORD_FILE)") \
	  $(if $(TIMESTAMP_URL),--timestamp-url "$(TIMESTAMP_URL)") \
	  --url "$$(python3 -c 'import json, sys; print(json.load(open(sys.argv[1]))["home_page"])' build/win32/build-config.json)" \
	  $(SETUP_EXE) $(SIGNED_EXE)
	@$(RELEASE_CHECK) --require-signature $(SIGNED_EXE)

demo: build
	@scripts/demo.sh

# Refreshes the pictures of the README: the demo's walk under Xvfb, whatever DISPLAY says, and
# the licence page at 144 DPI.
screenshots: build
	@env -u DISPLAY scripts/demo.sh docs/screenshots --licence-at-dpi 144

# Install time, responsiveness, start-up, memory and size against baselines in the same run;
# writes build/bench/results.md and results.json. BENCH_RUNS sets the rounds of installs (6).
bench: build
	@bench/bench.sh

clean:
	rm -rf build
