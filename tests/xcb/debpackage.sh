# The Debian package as `make deb` builds it: lintian has nothing to say that a
# maintainer would not accept, it holds exactly what the install rules install,
# and its dependencies are the computed ones.
set -u
src=$1 out=$2
. "$(dirname "$0")/lib.sh"

deb=$(sh "$src/data/build-deb.sh" "$src" "$out") || fail "the package did not build"
echo "built $deb"

# Accepted: the package is no upload to Debian, so it closes no ITP bug; and
# CPack strips as `install -s` does, which keeps the .comment section.
report=$(lintian --display-info "$deb" 2>&1 | grep -v '^running with root privileges')
echo "lintian: ${report:-(nothing)}"
unexpected=$(echo "$report" | grep -E '^[EWI]: ' |
    grep -v -e ' initial-upload-closes-no-bugs ' -e ' binary-has-unneeded-section .comment ')
[ -z "$unexpected" ] || fail "lintian: $unexpected"

staged=$(mktemp -d)
unpacked=$(mktemp -d)
trap 'rm -rf "$staged" "$unpacked"' EXIT
DESTDIR=$staged cmake --install "$out" --prefix /usr >/dev/null || fail "the install failed"
dpkg-deb -x "$deb" "$unpacked" || fail "the package does not unpack"
installed=$(cd "$staged" && find . | sort)
packed=$(cd "$unpacked" && find . | sort)
[ "$installed" = "$packed" ] || fail "the package and the install differ: $(diff <(echo "$installed") <(echo "$packed"))"
[ "$(readlink "$unpacked/usr/bin/quillrace")" = ../lib/quillrace/quillrace ] || fail "no launcher link"

dpkg-deb -f "$deb" Depends | grep -q 'libqt6widgets6 (>= ' || fail "Depends: $(dpkg-deb -f "$deb" Depends)"
[ "$(dpkg-deb -f "$deb" Recommends)" = "qt6-wayland, fonts-liberation" ] || fail "Recommends"
