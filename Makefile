# Top-level driver of the CMake build. `make test` builds and runs every test,
# `make demo` runs the driver against its simulator.
BUILD      ?= build
GENERATOR  ?= Ninja
BUILD_TYPE ?= RelWithDebInfo
CMAKE_ARGS ?=
JOBS       ?= $(shell nproc 2>/dev/null || echo 2)

# Debian packages the build and its tests need (tmux drives the terminal tests;
# the tools read their command lines with CLI11 and write JSON with nlohmann/json;
# pytest runs the Python package's tests).
PACKAGES := cmake ninja-build g++ libgtest-dev libgmock-dev libbenchmark-dev tmux \
	libcli11-dev nlohmann-json3-dev python3-pytest libmosquitto-dev mosquitto

# The Windows library: Debian's mingw-w64 cross compilers (posix threads),
# Wine and a virtual display to run its host test, and what takes its picture.
WIN32_PACKAGES := cmake ninja-build g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix
WINE_PACKAGES  := wine64 xvfb
SHOT_PACKAGES  := x11-apps imagemagick

.PHONY: all deps configure build test demo bench install memcheck clean win32 win32-test \
	win32-screenshot

all: build

deps:
	@missing=""; \
	for p in $(PACKAGES); do \
	  dpkg-query -W -f='$${Status}' $$p 2>/dev/null | grep -q "install ok installed" || missing="$$missing $$p"; \
	done; \
	if [ -n "$$missing" ]; then \
	  if [ "$$(id -u)" = 0 ]; then \
	    echo "Installing:$$missing"; \
	    apt-get update && DEBIAN_FRONTEND=noninteractive apt-get install -y $$missing || exit 1; \
	  else \
	    echo "Missing packages. Run:"; \
	    echo "  sudo apt-get update && sudo apt-get install -y$$missing"; \
	    exit 1; \
	  fi; \
	fi

configure: deps
	@if [ ! -f $(BUILD)/CMakeCache.txt ]; then \
	  cmake -S . -B $(BUILD) -G $(GENERATOR) -DCMAKE_BUILD_TYPE=$(BUILD_TYPE) $(CMAKE_ARGS); \
	fi

build: configure
	cmake --build $(BUILD) -j $(JOBS)

test: build
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS)

# The whole system against the simulator embedded in zlpoll, for 40 seconds
# (DURATION=S to change it); q or Ctrl-C ends it earlier. It builds only what
# it runs: the library and zlpoll, not the tests and benchmarks.
DURATION ?= 40
demo: configure
	cmake --build $(BUILD) -j $(JOBS) --target zlnetdrv zlpoll
	$(BUILD)/tools/zlpoll/zlpoll --demo --duration $(DURATION)

bench: configure
	cmake --build $(BUILD) -j $(JOBS)
	@if [ -x bench/run.sh ]; then bench/run.sh $(BUILD); else echo "no benchmarks yet"; fi

# PREFIX=/usr/local (the default) or any other; DESTDIR is honoured for packaging.
# Under a system prefix (/usr/local, /usr) the dynamic linker's cache is
# renewed so that hosts find the library at once; for any other prefix the
# README says what to set.
install: build
	cmake --install $(BUILD) $(if $(PREFIX),--prefix $(PREFIX),)
	@prefix="$(if $(PREFIX),$(PREFIX),$$(awk -F= '/^CMAKE_INSTALL_PREFIX:/ {print $$2}' $(BUILD)/CMakeCache.txt))"; \
	if [ -z "$(DESTDIR)" ] && { [ "$$prefix" = /usr/local ] || [ "$$prefix" = /usr ]; }; then \
	  if [ "$$(id -u)" = 0 ]; then ldconfig; \
	  else echo "Run 'sudo ldconfig' so that hosts find the library."; fi; \
	fi

# Every test program of `make test` under valgrind's memcheck: any memory
# error or leak (definite or possible) fails it. Suppressions, each with the
# reason it is outside our code, live in tests/valgrind.supp.
VALGRIND := valgrind --tool=memcheck --error-exitcode=99 --leak-check=full \
	--errors-for-leak-kinds=definite,possible --show-leak-kinds=definite,possible \
	--track-fds=no --suppressions=tests/valgrind.supp

memcheck: build
	@command -v valgrind >/dev/null || { \
	  if [ "$$(id -u)" = 0 ]; then apt-get update && DEBIAN_FRONTEND=noninteractive apt-get install -y valgrind; \
	  else echo "valgrind is missing: sudo apt-get install -y valgrind"; exit 1; fi; }
	@failed=""; \
	for t in $$(find $(BUILD)/tests -name 'test_*' -type f -perm -u+x | sort); do \
	  echo "=== $$t"; \
	  ZL_BINARY_DIR=$(abspath $(BUILD)) $(VALGRIND) $$t --gtest_brief=1 || failed="$$failed $$t"; \
	done; \
	if [ -n "$$failed" ]; then echo "memcheck failed:$$failed"; exit 1; fi; echo "memcheck: no error, no leak"

# zlnetdrv.dll for Windows hosts: build-win32/ (i686, what hosts load) and
# build-win64/ (x86_64, for tests where 32-bit Wine is not at hand).
win32:
	@$(MAKE) --no-print-directory deps PACKAGES="$(WIN32_PACKAGES)"
	@for arch in i686:build-win32 x86_64:build-win64; do \
	  dir=$${arch#*:}; \
	  if [ ! -f $$dir/CMakeCache.txt ]; then \
	    cmake -S . -B $$dir -G $(GENERATOR) -DCMAKE_BUILD_TYPE=Release \
	      -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-mingw-$${arch%%:*}.cmake || exit 1; \
	  fi; \
	  cmake --build $$dir -j $(JOBS) || exit 1; \
	done

# The Windows host test under Wine against zlsim running here: the x86_64
# library under wine64 always, the i686 library where 32-bit Wine installs;
# then the unit tests of util, config and port's shared parts under wine64.
win32-test: win32
	@$(MAKE) --no-print-directory deps PACKAGES="$(WINE_PACKAGES)"
	@tests/win32/install-wine32.sh
	@$(MAKE) --no-print-directory configure
	cmake --build $(BUILD) --target zlsim -j $(JOBS)
	cmake --build build-win64 --target zlwin_unit_tests -j $(JOBS)
	tests/win32/run.sh $(BUILD)

# The status window under Xvfb with Wine, after a connect, with its event
# lines: docs/status-window.png.
win32-screenshot: win32
	@$(MAKE) --no-print-directory deps PACKAGES="$(WINE_PACKAGES) $(SHOT_PACKAGES)"
	@$(MAKE) --no-print-directory configure
	cmake --build $(BUILD) --target zlsim -j $(JOBS)
	SCREENSHOT=docs/status-window.png tests/win32/run.sh $(BUILD)

clean:
	rm -rf $(BUILD)
