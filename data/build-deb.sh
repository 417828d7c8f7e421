#!/bin/sh
# Builds the Debian package into a build folder of its own: the program built
# with Debian's hardening flags (as dpkg-buildflags gives them, bindnow too),
# without the tests, then packed by CPack from the install rules.
# Usage: build-deb.sh <source folder> <build folder>; prints the package's path.
set -eu
src=$(cd "$1" && pwd)
out=$2
export DEB_BUILD_MAINT_OPTIONS=hardening=+all
flags() { (cd "$src" && dpkg-buildflags --get "$1"); }
cmake -S "$src" -B "$out" -DCMAKE_BUILD_TYPE=None -DBUILD_TESTING=OFF -DQUILL_PACKAGED=ON \
    -DCMAKE_CXX_FLAGS="$(flags CPPFLAGS) $(flags CXXFLAGS)" \
    -DCMAKE_EXE_LINKER_FLAGS="$(flags LDFLAGS)" >/dev/null
cmake --build "$out" -j"$(nproc 2>/dev/null || echo 2)" >/dev/null
rm -f "$out"/quillrace_*.deb
(cd "$out" && cpack -G DEB >/dev/null)
ls "$out"/quillrace_*.deb
