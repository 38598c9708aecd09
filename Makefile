# make run:   set up, build and start the game.
# make check: set up, build and run every test (headless).
# make package: set up, build, and make the Debian package $(BUILD)/quillet_<version>_<arch>.deb.
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

package: build
	@cd $(BUILD) && cpack -G DEB

clean:
	rm -rf build build-* build.configure.log build-*.configure.log
