# Two commands for a fresh Debian 12 machine: `make run` and `make test`.
# Each first installs the Debian packages that are missing, then configures
# and builds into build/, which is laid out as an installed program folder.
# `make install` puts the program in PREFIX (default ~/.local) for the current
# user; `make uninstall` removes it again, keeping the story library unless
# PURGE=1 is given. `make deb` builds the Debian package into build/deb/.

# Everything the build, the package, the tests and the benchmarks call (xauth
# lets `xvfb-run make run` show the program on a machine without a display;
# dpkg-dev and file compute the package's dependencies). mdbtools-dev (libmdb,
# with libmdb3 at run time) reads Access libraries, through pkg-config;
# python3 runs the tests' writer of Access fixtures; dbus-daemon, dbus-bin and
# at-spi2-core give a test the accessibility bus a screen reader would use.
PACKAGES := cmake g++ make pkg-config qt6-base-dev qt6-qpa-plugins qt6-wayland libsqlite3-dev \
            libx11-dev sqlite3 mdbtools-dev libmdb3 python3 \
            fonts-liberation xvfb xauth xdotool x11-utils desktop-file-utils appstream weston \
            dbus-daemon dbus-bin at-spi2-core dpkg-dev file lintian
# The commands the tests call, each with the package that brings it; checked
# before any test runs, so a test that needs a new one fails here, by name.
TEST_COMMANDS := ctest:cmake cmake:cmake sqlite3:sqlite3 Xvfb:xvfb xdotool:xdotool \
                 xprop:x11-utils xwininfo:x11-utils desktop-file-validate:desktop-file-utils \
                 appstreamcli:appstream timeout:coreutils mktemp:coreutils mkfifo:coreutils \
                 seq:coreutils readlink:coreutils dirname:coreutils sleep:coreutils \
                 head:coreutils tail:coreutils wc:coreutils chmod:coreutils cp:coreutils \
                 cut:coreutils tr:coreutils sort:coreutils bash:bash \
                 find:findutils grep:grep sed:sed awk:mawk weston:weston weston-debug:weston \
                 cpack:cmake dpkg-buildflags:dpkg-dev dpkg-shlibdeps:dpkg-dev file:file \
                 gzip:gzip lintian:lintian dpkg-deb:dpkg setpriv:util-linux sha256sum:coreutils \
                 stat:coreutils chown:coreutils id:coreutils nproc:coreutils diff:diffutils \
                 python3:python3 dbus-run-session:dbus-daemon dbus-send:dbus-bin
BUILD    := build
JOBS     := $(shell nproc 2>/dev/null || echo 2)
PREFIX   ?= $(HOME)/.local
PURGE    ?=
# WERROR=1 (as .ci/run builds) makes every compiler warning an error.
WERROR   ?=

.PHONY: run test bench build configure deps test-commands check-format install uninstall deb clean

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

# The program built with Debian's hardening flags in a build folder of its own,
# packed by CPack from the install rules.
deb: deps
	sh data/build-deb.sh . $(BUILD)/deb

build: configure
	cmake --build $(BUILD) -j$(JOBS)

configure: deps
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=Release -DQUILL_WERROR=$(if $(WERROR),ON,OFF)

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

# Every tracked C++ file as .clang-format has it; clang-format is installed
# for this step alone when it is missing.
check-format:
	@command -v clang-format >/dev/null 2>&1 || $(MAKE) --no-print-directory deps PACKAGES=clang-format
	git ls-files -z '*.cpp' '*.h' | xargs -0 clang-format --dry-run --Werror

clean:
	rm -rf $(BUILD)
