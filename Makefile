# Front door of the project. `make run` and `make test` work on a fresh
# Debian machine: they install what is missing first.
JOBS ?= $(shell nproc)
# The Windows tests mostly wait (for the paced sound sink, for windows), and
# run in two lanes (cmake/Testing.cmake): one more at a time than cores.
WIN_TEST_JOBS ?= $(shell echo $$(( $(JOBS) + 1 )))
WIN := build/windows
NAT := build/native
CTEST_ARGS ?=
WIN_CTEST_ARGS ?=

.PHONY: all setup windows native test test-native test-windows run run-handset cd-demo dist bench fuzz soak clean

all: windows native

setup:
	@tools/setup

# Configured every time: subsystem folders are picked up when they appear,
# which CMake would not notice on its own.
windows: setup
	cmake -S . -B $(WIN) -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake -DCMAKE_BUILD_TYPE=Release >/dev/null
	cmake --build $(WIN) -j $(JOBS)

native: setup
	cmake -S . -B $(NAT) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCX_SANITIZE=ON >/dev/null
	cmake --build $(NAT) -j $(JOBS)

test-native: native
	cd $(NAT) && ctest --output-on-failure -j $(JOBS) $(CTEST_ARGS)

test-windows: windows
	cd $(WIN) && ctest --output-on-failure -j $(WIN_TEST_JOBS) $(WIN_CTEST_ARGS) $(CTEST_ARGS)

test: native windows
	@rc=0; \
	(cd $(NAT) && ctest --output-on-failure -j $(JOBS) $(CTEST_ARGS)) || rc=1; \
	(cd $(WIN) && ctest --output-on-failure -j $(WIN_TEST_JOBS) $(WIN_CTEST_ARGS) $(CTEST_ARGS)) || rc=1; \
	exit $$rc

# make run [FILE=path] starts Cantorix under Wine, optionally opening FILE
# (a Unix path, blanks allowed: it is handed over as one Windows path);
# make run PROGRAM=Handset (or make run-handset) starts the remote, which
# starts Cantorix itself when it is not running.
PROGRAM ?= Cantorix
run: windows
	tools/wine-run $(if $(FILE),--open '$(FILE)') $(WIN)/bin/$(PROGRAM).exe

run-handset:
	$(MAKE) run PROGRAM=Handset

# make cd-demo: Cantorix plays a scripted disc through the fake CD driver
# that the tests use (no CD drive needed); see tools/cd-demo.
cd-demo: windows
	tools/cd-demo

clean:
	rm -rf build

# make dist: the installer build/dist/CantorixSetup-VERSION.exe and the zip
# Cantorix-VERSION.zip, from a release build without the invariant checks.
REL := build/release
dist: setup
	cmake -S . -B $(REL) -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake -DCMAKE_BUILD_TYPE=Release \
	      -DCX_CHECKS=OFF -DCX_DIST_DIR=$(CURDIR)/build/dist >/dev/null
	cmake --build $(REL) -j $(JOBS) --target dist
	@ls -l build/dist

# Decoder speed against mpg123 (and ffmpeg), then Ogg Vorbis against oggdec
# (tools/vorbis/bench.sh): a Release build without
# sanitizers, then tools/mpeg/bench.sh; the Windows build's cxdecode.exe is
# timed under Wine too when it has been built. Then FLAC against the
# reference decoder (tools/flac/bench.sh).
BENCH := build/bench
bench: setup
	cmake -S . -B $(BENCH) -DCMAKE_BUILD_TYPE=Release
	cmake --build $(BENCH) -j $(JOBS) --target cxdecode
	tools/mpeg/bench.sh $(BENCH) $(WIN)
	tools/flac/bench.sh $(BENCH)
	tools/vorbis/bench.sh $(BENCH)

# libFuzzer runs (clang, ASan/UBSan) over every reader of outside data: MPEG
# audio, FLAC, Ogg Vorbis, WAV files, M3U lists, disc-list records and the command line,
# FUZZ_SECONDS each, one after the other. Corpora and findings stay in
# build/fuzz/corpus/<target> and build/fuzz/findings/<target>.
FUZZ := build/fuzz
FUZZ_SECONDS ?= 60
fuzz: setup
	cmake -S . -B $(FUZZ) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ -DCX_FUZZ=ON >/dev/null
	cmake --build $(FUZZ) -j $(JOBS) --target fuzzers mpeg_fixtures vorbis_corpus
	python3 tools/fuzz/seed.py $(FUZZ)
	tools/fuzz/run-all $(FUZZ) $(FUZZ_SECONDS)

# Soaks, a few minutes each: the decoder decodes every MPEG fixture 1,000
# times in one process with its memory flat (native Release build), then
# Cantorix under Wine plays 200 files of every kind through the ALSA file
# sink while a second process sends it commands; its handle, GDI and USER
# counts must come back to their level (tools/soak/run-soak says what is
# checked).
SOAK := build/soak
soak: setup
	cmake -S . -B $(SOAK) -DCMAKE_BUILD_TYPE=Release >/dev/null
	cmake --build $(SOAK) -j $(JOBS) --target decoder_soak cxdecode mpeg_fixtures
	$(SOAK)/bin/decoder_soak 1000 $(SOAK)/mpeg-fixtures/*.mp?
	cmake -S . -B $(WIN) -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake -DCMAKE_BUILD_TYPE=Release >/dev/null
	cmake --build $(WIN) -j $(JOBS) --target soak_driver
	tools/soak/run-soak --wine-run tools/wine-run --driver $(WIN)/bin/soak_driver.exe \
	  --cxdecode $(SOAK)/bin/cxdecode --fixtures $(SOAK)/mpeg-fixtures --work $(SOAK)/player
