# The built program starts as itself in a real window, and ends cleanly.
set -u
build=$1 xclose=$2
. "$(dirname "$0")/lib.sh"

# With its library, the main window maps with its exact title and the program
# ends with code 0 when the window is closed.
dir=$(new_program_folder "$build")
trap 'rm -rf "$dir" "${bare:-}"' EXIT
cp "$build/dbStory.mdb" "$build/HAND-M.CUR" "$dir/"
"$dir/quillrace" &
pid=$!
win=$(wait_window "Quillrace Software")
[ -n "$win" ] || fail "the main window did not map"
title=$(xprop -id "$win" _NET_WM_NAME)
[ "$title" = '_NET_WM_NAME(UTF8_STRING) = "Quillrace Software"' ] || fail "title: $title"
"$xclose" "$win"
wait_exit $pid
code=$?
[ $code -eq 0 ] || fail "exit code $code after closing the main window"

# Without dbStory.mdb, the program says so under its application title, shows
# no main window, and exits with code 0 once the message is dismissed.
bare=$(new_program_folder "$build")
"$bare/quillrace" &
pid=$!
box=$(wait_window "Quillrace")
[ -n "$box" ] || fail "no message about the missing library"
[ -z "$(xdotool search --onlyvisible --name '^Quillrace Software$' 2>/dev/null)" ] ||
    fail "the main window was shown without a library"
"$xclose" "$box"
wait_exit $pid
code=$?
[ $code -eq 0 ] || fail "exit code $code after the missing-library message"
