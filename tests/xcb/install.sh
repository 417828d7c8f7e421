# The install as a user meets it: into a prefix of its own, the launcher that
# the desktop entry runs started from another folder, and a second install (an
# upgrade) that keeps the user's stories. Then the uninstall, which keeps the
# library unless purged.
set -u
build=$1 xclose=$2
. "$(dirname "$0")/lib.sh"

prefix=$(mktemp -d)
elsewhere=$(mktemp -d)
pid=""
trap '[ -n "$pid" ] && kill "$pid" 2>/dev/null; rm -rf "$prefix" "$elsewhere"' EXIT
app=org.quillrace.Quillrace
launcher=$prefix/bin/quillrace
desktop=$prefix/share/applications/$app.desktop

cmake --install "$build" --prefix "$prefix" >/dev/null || fail "the install failed"
[ -L "$launcher" ] || fail "no launcher link $launcher"
folder=$(dirname "$(readlink -f "$launcher")")
for f in quillrace quillrace-jetreader dbStory.mdb HAND-M.CUR x/o.cjs; do
    [ -f "$folder/$f" ] || fail "$f is not in the program folder $folder"
done
for size in 16 32 48 64 128 256; do
    [ -f "$prefix/share/icons/hicolor/${size}x$size/apps/$app.png" ] || fail "no icon at $size"
done
for f in man/man1/quillrace.1.gz doc/quillrace/copyright doc/quillrace/changelog.Debian.gz; do
    [ -f "$prefix/share/$f" ] || fail "no $f"
done
desktop-file-validate "$desktop" || fail "the desktop entry is not valid"
appstreamcli validate --no-net "$prefix/share/metainfo/$app.metainfo.xml" >/dev/null ||
    fail "the metainfo is not valid"
exec_line=$(sed -n 's/^Exec=//p' "$desktop")
[ "$exec_line" = "\"$launcher\"" ] || fail "the desktop entry runs $exec_line"

# Started from another folder through the link, the program finds its library:
# the main window maps, not the missing-library message.
(cd "$elsewhere" && exec "$launcher") &
pid=$!
main=$(wait_window "Quillrace Software")
[ -n "$main" ] || fail "the installed program showed no main window"
"$xclose" "$main"
wait_exit "$pid" || fail "the installed program did not end cleanly"
pid=""

story="A story of the user's own."
sqlite3 "$folder/dbStory.mdb" "insert into story (fldstory) values ('A story of the user''s own.')" ||
    fail "cannot add a story"
cmake --install "$build" --prefix "$prefix" >/dev/null || fail "the second install failed"
kept=$(sqlite3 "$folder/dbStory.mdb" "select count(*) from story where fldstory = '${story//\'/\'\'}'")
[ "$kept" = 1 ] || fail "the second install replaced the library"

cmake -DPREFIX="$prefix" -P "$build/uninstall.cmake" >/dev/null || fail "the uninstall failed"
left=$(find "$prefix" ! -type d)
[ "$left" = "$folder/dbStory.mdb" ] || fail "after the uninstall, left: $left"
cmake -DPREFIX="$prefix" -DPURGE=1 -P "$build/uninstall.cmake" >/dev/null || fail "the purge failed"
left=$(find "$prefix" ! -type d)
[ -z "$left" ] && [ ! -e "$folder" ] || fail "after the purge, left: $left $folder"
