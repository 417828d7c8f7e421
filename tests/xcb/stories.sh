# The stories window in a real window: Change Story opens "Stories", a story
# typed into its editor and saved is on file once the window is closed.
set -u
build=$1 xclose=$2
. "$(dirname "$0")/lib.sh"

dir=$(new_program_folder "$build")
pid=""
trap '[ -n "$pid" ] && kill "$pid" 2>/dev/null; rm -rf "$dir"' EXIT
sqlite3 "$dir/dbStory.mdb" "create table story (id integer primary key, fldstory text);
    insert into story (fldstory) values ('The first story.');" || fail "cannot build the library"

# click <window> <x> <y>: a left click at a point of the window's client area
# (pixels are twips / 15).
click() {
    xdotool mousemove --window "$1" "$2" "$3" click 1
}

# wait_height <window> <pixels>: waits (bounded) until the window has that height.
wait_height() {
    local i
    for i in $(seq 50); do
        xwininfo -id "$1" | grep -q "Height: $2\$" && return 0
        sleep 0.1
    done
    return 1
}

"$dir/quillrace" &
pid=$!
main=$(wait_window "Quillrace Software")
[ -n "$main" ] || fail "the main window did not map"
click "$main" 268 87 # Change Story
stories=$(wait_window "Stories")
[ -n "$stories" ] || fail "Change Story did not open the stories window"
wait_height "$stories" 215 || fail "the stories window did not open in browsing mode"

click "$stories" 76 194 # Add New
wait_height "$stories" 392 || fail "Add New did not show the editor"
click "$stories" 293 305 # into the editor
xdotool type --delay 30 "Tom's second story."
click "$stories" 76 194 # Save
wait_height "$stories" 215 || fail "Save did not return to browsing mode"
click "$stories" 508 194 # Close
for i in $(seq 50); do
    [ -z "$(xdotool search --onlyvisible --name '^Stories$' 2>/dev/null)" ] && break
    sleep 0.1
done
[ -z "$(xdotool search --onlyvisible --name '^Stories$' 2>/dev/null)" ] ||
    fail "Close did not close the stories window"

stored=$(sqlite3 "$dir/dbStory.mdb" "select id || ':' || fldstory from story order by id")
expected=$'1:The first story.\n2:Tom\'s second story.'
[ "$stored" = "$expected" ] || fail "on file: $stored"

"$xclose" "$main"
wait_exit "$pid"
code=$?
pid=""
[ $code -eq 0 ] || fail "exit code $code after closing the main window"
