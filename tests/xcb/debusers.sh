# The Debian package unpacked into a root-owned folder, as a system install
# has it, and started by an unprivileged user and by root: each gets a library
# of their own in $XDG_DATA_HOME/quillrace, a story added through the window lands in
# that user's library, and installing the package again leaves both alone.
set -u
build=$1 xclose=$2
. "$(dirname "$0")/lib.sh"

if [ "$(id -u)" -ne 0 ]; then
    echo "SKIP: starting the program as other users needs root"
    exit 77
fi
deb=$(ls "$build"/deb/quillrace_*_amd64.deb) || fail "no package in $build/deb"
root=$(mktemp -d)
homes=()
pid=""
trap '[ -n "$pid" ] && kill "$pid" 2>/dev/null; rm -rf "$root" "${homes[@]}"' EXIT
chmod 755 "$root"
dpkg-deb -x "$deb" "$root" || fail "the package does not unpack"
sample=$(sha256sum <"$root/usr/lib/quillrace/dbStory.mdb")

# start_as <uid>: starts the installed program as that user (who needs no
# account), with a fresh home and runtime folder it owns; sets pid and home.
start_as() {
    home=$(mktemp -d)
    homes+=("$home")
    mkdir -m 700 "$home/runtime"
    chown -R "$1:$1" "$home"
    setpriv --reuid="$1" --regid="$1" --clear-groups env HOME="$home" \
        XDG_DATA_HOME="$home/data" XDG_RUNTIME_DIR="$home/runtime" "$root/usr/bin/quillrace" &
    pid=$!
}

# stop <main window>: closes the program, which must end cleanly.
stop() {
    "$xclose" "$1"
    wait_exit "$pid" || fail "the program did not end cleanly"
    pid=""
}

stories() {
    sqlite3 "$1/data/quillrace/dbStory.mdb" "select fldstory from story order by id"
}

# The first user adds a story through the stories window.
start_as 4201
ann=$home
main=$(wait_window "Quillrace Software")
[ -n "$main" ] || fail "the first user got no main window"
add_story "$main" "Ann's own story."
stop "$main"
[ "$(stories "$ann" | tail -n 1)" = "Ann's own story." ] || fail "the story is not in the user's library"
[ "$(stat -c %u "$ann/data/quillrace/dbStory.mdb")" = 4201 ] || fail "the library is not the user's"

# Root, who could write to the program folder, starts from the sample too,
# with a library of their own that no upgrade replaces.
start_as 0
bob=$home
main=$(wait_window "Quillrace Software")
[ -n "$main" ] || fail "the second user got no main window"
stop "$main"
[ "$(sha256sum <"$bob/data/quillrace/dbStory.mdb")" = "$sample" ] ||
    fail "the second user's library is not the sample"
[ "$(stat -c %u "$bob/data/quillrace/dbStory.mdb")" = 0 ] || fail "the library is not root's"
[ "$(sha256sum <"$root/usr/lib/quillrace/dbStory.mdb")" = "$sample" ] ||
    fail "a user changed the installed sample"

# Installing again leaves both users' libraries as they were.
before=$(cat "$ann/data/quillrace/dbStory.mdb" "$bob/data/quillrace/dbStory.mdb" | sha256sum)
dpkg-deb -x "$deb" "$root" || fail "the package does not unpack again"
after=$(cat "$ann/data/quillrace/dbStory.mdb" "$bob/data/quillrace/dbStory.mdb" | sha256sum)
[ "$before" = "$after" ] || fail "installing again changed a user's library"
[ "$(stories "$ann" | tail -n 1)" = "Ann's own story." ] || fail "the first user's story is gone"
