# Front door of the project. `make run` and `make test` work on a fresh
# Debian machine: they install what is missing first.
JOBS ?= $(shell nproc)
WIN := build/windows
NAT := build/native
CTEST_ARGS ?=

.PHONY: all setup windows native test test-native test-windows run cd-demo bench fuzz clean

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
	cd $(WIN) && ctest --output-on-failure -j $(JOBS) $(CTEST_ARGS)

test: native windows
	@rc=0; \
	(cd $(NAT) && ctest --output-on-failure -j $(JOBS) $(CTEST_ARGS)) || rc=1; \
	(cd $(WIN) && ctest --output-on-failure -j $(JOBS) $(CTEST_ARGS)) || rc=1; \
	exit $$rc

# make run [FILE=path] starts Cantorix under Wine, optionally opening FILE.
run: windows
	tools/wine-run $(WIN)/bin/Cantorix.exe $(FILE)

# make cd-demo: Cantorix plays a scripted disc through the fake CD driver
# that the tests use (no CD drive needed); see tools/cd-demo.
cd-demo: windows
	tools/cd-demo

clean:
	rm -rf build

# Decoder speed against mpg123 (and ffmpeg): a Release build without
# sanitizers, then tools/mpeg/bench.sh.
BENCH := build/bench
bench: setup
	cmake -S . -B $(BENCH) -DCMAKE_BUILD_TYPE=Release
	cmake --build $(BENCH) -j $(JOBS) --target cxdecode
	tools/mpeg/bench.sh $(BENCH)

# A short libFuzzer run over opening and decoding MPEG audio (clang).
FUZZ := build/fuzz
FUZZ_SECONDS ?= 60
fuzz: setup
	cmake -S . -B $(FUZZ) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ -DCX_FUZZ=ON
	cmake --build $(FUZZ) -j $(JOBS) --target mpeg_fuzz mpeg_fixtures
	mkdir -p $(FUZZ)/corpus
	# Seeds: the first frames of every fixture.
	for f in $(FUZZ)/mpeg-fixtures/*.mp?; do head -c 6000 $$f > $(FUZZ)/corpus/seed-$$(basename $$f); done
	$(FUZZ)/bin/mpeg_fuzz -max_total_time=$(FUZZ_SECONDS) -max_len=20000 $(FUZZ)/corpus
