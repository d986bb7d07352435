# Everything a fresh Debian 12 machine needs, in two commands: `make run`, `make test`.
BUILD ?= build
JOBS ?= 2
CMAKE_FLAGS ?= -DCMAKE_BUILD_TYPE=RelWithDebInfo
# The sanitizer tree: every program and test under AddressSanitizer and
# UndefinedBehaviorSanitizer.
ASAN_BUILD ?= build-asan
# The libFuzzer tree (clang): make fuzz runs each target FUZZ_SECONDS, make
# test each FUZZ_SMOKE_SECONDS.
FUZZ_BUILD ?= build-fuzz
FUZZ_SECONDS ?= 600
FUZZ_SMOKE_SECONDS ?= 15
# make install: the installed tree's prefix; DESTDIR stages it elsewhere.
PREFIX ?= /usr/local
DESTDIR ?=

.PHONY: deps configure build test test-asan fuzz-build fuzz fuzz-smoke run bench install package \
	clean format

deps:
	@scripts/install-deps.sh

configure: deps
	@cmake -S . -B $(BUILD) $(CMAKE_FLAGS) >/dev/null

build: configure
	@cmake --build $(BUILD) -j$(JOBS)

test: build
	@cd $(BUILD) && ctest --output-on-failure -j$(JOBS)
	@$(MAKE) --no-print-directory test-asan
	@$(MAKE) --no-print-directory fuzz-smoke

# Debug keeps the assertions; -O1 keeps it quick. Sanitizer options: tests/CMakeLists.txt.
test-asan: deps
	@cmake -S . -B $(ASAN_BUILD) -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_FLAGS_DEBUG="-O1 -g" \
		-DZORVIK_SANITIZE=ON >/dev/null
	@cmake --build $(ASAN_BUILD) -j$(JOBS)
	@cd $(ASAN_BUILD) && ctest --output-on-failure -j$(JOBS)

fuzz-build: deps
	@CC=clang CXX=clang++ cmake -S . -B $(FUZZ_BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo \
		-DZORVIK_FUZZ=ON >/dev/null
	@cmake --build $(FUZZ_BUILD) -j$(JOBS) --target fuzzers

fuzz: fuzz-build
	@scripts/fuzz.sh $(FUZZ_BUILD) $(FUZZ_SECONDS) $(JOBS)

fuzz-smoke: fuzz-build
	@scripts/fuzz.sh $(FUZZ_BUILD) $(FUZZ_SMOKE_SECONDS) $(JOBS)

run: build
	@$(BUILD)/bin/zorvik

bench: build
	@$(BUILD)/bin/zorvik-bench

install: build
	@DESTDIR="$(DESTDIR)" cmake --install $(BUILD) --prefix "$(PREFIX)"

# The Debian package $(BUILD)/zorvik_<version>_<arch>.deb, for
# apt-get install ./$(BUILD)/zorvik_*.deb
package: build
	@cd $(BUILD) && cpack -G DEB

clean:
	@rm -rf $(BUILD) $(ASAN_BUILD) $(FUZZ_BUILD)

format:
	@git ls-files '*.cpp' '*.h' | xargs clang-format -i
