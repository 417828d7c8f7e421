# Two commands for a fresh Debian 12 machine: `make run` and `make test`.
# Each first installs the Debian packages that are missing, then configures
# and builds into build/, which is laid out as an installed program folder.

PACKAGES := cmake g++ make qt6-base-dev qt6-qpa-plugins libsqlite3-dev sqlite3 \
            fonts-liberation xvfb xdotool x11-utils
BUILD    := build
JOBS     := $(shell nproc 2>/dev/null || echo 2)

.PHONY: run test bench build deps clean

run: build
	cd $(BUILD) && ./quillrace

test: build
	cd $(BUILD) && ctest --output-on-failure -j$(JOBS)

bench: build
	cmake --build $(BUILD) --target benchmarks -j$(JOBS)
	cd $(BUILD) && QT_QPA_PLATFORM=offscreen ./bench/run-benchmarks

build: deps
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=Release
	cmake --build $(BUILD) -j$(JOBS)

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

clean:
	rm -rf $(BUILD)
