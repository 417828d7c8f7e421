# Two commands for a fresh Debian 12 machine: `make run` and `make test`.
# Each first installs the Debian packages that are missing, then configures
# and builds into build/, which is laid out as an installed program folder.
# `make install` puts the program in PREFIX (default ~/.local) for the current
# user; `make uninstall` removes it again, keeping the story library unless
# PURGE=1 is given.

# Everything the build, the tests and the benchmarks call (xauth lets
# `xvfb-run make run` show the program on a machine without a display).
PACKAGES := cmake g++ make qt6-base-dev qt6-qpa-plugins libsqlite3-dev libx11-dev sqlite3 \
            fonts-liberation xvfb xauth xdotool x11-utils desktop-file-utils appstream
# The commands the tests call, each with the package that brings it; checked
# before any test runs, so a test that needs a new one fails here, by name.
TEST_COMMANDS := ctest:cmake cmake:cmake sqlite3:sqlite3 Xvfb:xvfb xdotool:xdotool \
                 xprop:x11-utils xwininfo:x11-utils desktop-file-validate:desktop-file-utils \
                 appstreamcli:appstream timeout:coreutils mktemp:coreutils mkfifo:coreutils \
                 seq:coreutils readlink:coreutils dirname:coreutils sleep:coreutils \
                 head:coreutils cp:coreutils find:findutils grep:grep sed:sed
BUILD    := build
JOBS     := $(shell nproc 2>/dev/null || echo 2)
PREFIX   ?= $(HOME)/.local
PURGE    ?=

.PHONY: run test bench build configure deps test-commands install uninstall clean

run: build
	cd $(BUILD) && ./quillrace

test: test-commands build
	cd $(BUILD) && ctest --output-on-failure -j$(JOBS)

bench: build
	cmake --build $(BUILD) --target benchmarks -j$(JOBS)
	cd $(BUILD) && QT_QPA_PLATFORM=offscreen ./bench/run-benchmarks

install: build
	cmake --install $(BUILD) --prefix "$(PREFIX)"

uninstall: configure
	cmake -DPREFIX="$(PREFIX)" -DPURGE="$(PURGE)" -P $(BUILD)/uninstall.cmake

build: configure
	cmake --build $(BUILD) -j$(JOBS)

configure: deps
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=Release

deps:
	@missing=""; \
	for p in $(PACKAGES); do \
	    dpkg-query -W -f='$${Status}' $$p 2>/dev/null | grep -q 'install ok installed' || missing="$$missing $$p"; \
	done; \
	if [ -n "$$missing" ]; then \
	    sudo=""; [ "$$(id -u)" -eq 0 ] || sudo=sudo; \
	    echo "Installing:$$missing"; \
	    $$sudo apt-get update -qq && \
	    DEBIAN_FRONTEND=noninteractive $$sudo apt-get install -y -qq --no-install-recommends $$missing; \
	fi

test-commands: deps
	@for c in $(TEST_COMMANDS); do \
	    command -v $${c%%:*} >/dev/null 2>&1 || { \
	        echo "make: the tests need the command '$${c%%:*}' (Debian package $${c##*:}), which is missing" >&2; \
	        exit 1; }; \
	done

clean:
	rm -rf $(BUILD)
