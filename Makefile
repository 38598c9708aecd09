# make run:   set up, build and start the game.
# make check: set up, build and run every test (headless).
# make package: set up, build for release, and make the Debian package
#               $(BUILD)/quillet_<version>_<arch>.deb.
# SANITIZE=address or SANITIZE=thread builds with a sanitizer (thread: the kit's core only).

BUILD ?= build
SANITIZE ?=
JOBS ?= $(shell nproc)

.PHONY: all setup build run check package clean

all: build

setup:
	@./scripts/setup.sh

build: setup
	@cmake -S . -B $(BUILD) -DQUILLET_SANITIZE=$(SANITIZE) > $(BUILD).configure.log || \
		{ cat $(BUILD).configure.log; exit 1; }
	@cmake --build $(BUILD) -j$(JOBS)

run: build
	@if [ -z "$${DISPLAY:-}$${WAYLAND_DISPLAY:-}" ]; then \
		echo "No display to show the window on: DISPLAY is not set."; \
	else \
		$(BUILD)/quillet; \
	fi

check: build
	@cd $(BUILD) && ctest --output-on-failure -j$(JOBS)

# The package is made from a build of its own (optimised as the tests' build, then stripped),
# without tests, benchmarks or the checks of the threading contracts; the .deb is then put beside
# the test build's files.
package: setup
	@cmake -S . -B $(BUILD)-package -DCMAKE_BUILD_TYPE=RelWithDebInfo -DBUILD_TESTING=OFF \
		-DQUILLET_BENCH=OFF -DQUILLET_THREAD_CHECKS=OFF > $(BUILD)-package.configure.log || \
		{ cat $(BUILD)-package.configure.log; exit 1; }
	@cmake --build $(BUILD)-package -j$(JOBS)
	@cd $(BUILD)-package && rm -f quillet_*.deb && cpack -G DEB
	@mkdir -p $(BUILD) && rm -f $(BUILD)/quillet_*.deb && cp $(BUILD)-package/quillet_*.deb $(BUILD)/

clean:
	rm -rf build build-* build.configure.log build-*.configure.log
