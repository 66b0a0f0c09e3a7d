# The two everyday commands: `make run` and `make test`. Both install what is missing first.
BUILD_DIR ?= build
BUILD_TYPE ?= RelWithDebInfo
JOBS ?= $(shell nproc)
CMAKE_FLAGS ?=

# ccache is picked up by CMake itself, after install-deps has run (CMakeLists.txt).
ifneq ($(CI),)
CMAKE_FLAGS += -DBRISKLET_WERROR=ON
endif

.PHONY: all deps configure build run test install package sanitize bench screenshots clean

all: build

deps:
	@scripts/install-deps

configure: deps
	@cmake -S . -B $(BUILD_DIR) -G Ninja -DCMAKE_BUILD_TYPE=$(BUILD_TYPE) $(CMAKE_FLAGS) >/dev/null

build: configure
	@cmake --build $(BUILD_DIR) -j $(JOBS)

run: build
	$(BUILD_DIR)/app/brisklet

test: build
	@cd $(BUILD_DIR) && ctest --output-on-failure -j $(JOBS) --timeout 600

# `make install PREFIX=/opt/brisklet DESTDIR=/tmp/stage`: the programs, the engine, the desktop entry,
# icons and metainfo. Installed programs find the engine relative to themselves (docs/packaging.md).
PREFIX ?= /usr/local
install: build
	@DESTDIR="$(DESTDIR)" cmake --install $(BUILD_DIR) --prefix "$(PREFIX)"

# `make package`: $(BUILD_DIR)/brisklet_VERSION-BUILD_ARCH.deb, the file the update feed publishes.
package: build
	@cd $(BUILD_DIR) && cpack -G DEB

# The engine, the command line and their tests under ASan+UBSan and under TSan, each in its own folder.
# Unoptimised with line tables only, so the two extra builds stay quick; the Qt program stays out.
SANITIZE_FLAGS = -G Ninja -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_FLAGS_DEBUG="-O0 -g1" \
	-DBRISKLET_BUILD_APP=OFF $(CMAKE_FLAGS)
SANITIZER_ENV = ASAN_OPTIONS=detect_leaks=1:abort_on_error=0:strict_string_checks=1:detect_stack_use_after_return=1 \
	UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
	TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1

sanitize: deps
	@cmake -S . -B $(BUILD_DIR)-asan $(SANITIZE_FLAGS) -DBRISKLET_SANITIZE=address >/dev/null
	@cmake -S . -B $(BUILD_DIR)-tsan $(SANITIZE_FLAGS) -DBRISKLET_SANITIZE=thread >/dev/null
	@$(SANITIZER_ENV) cmake --build $(BUILD_DIR)-asan -j $(JOBS)
	@cd $(BUILD_DIR)-asan && $(SANITIZER_ENV) ctest --output-on-failure -j $(JOBS) --timeout 600
	@$(SANITIZER_ENV) cmake --build $(BUILD_DIR)-tsan -j $(JOBS)
	@cd $(BUILD_DIR)-tsan && $(SANITIZER_ENV) ctest --output-on-failure -j $(JOBS) --timeout 600

bench: build
	bench/scan-vs-peers

screenshots: build
	scripts/screenshots

clean:
	rm -rf $(BUILD_DIR) $(BUILD_DIR)-asan $(BUILD_DIR)-tsan
