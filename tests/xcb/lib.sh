# Shared by the real-window tests: a program folder of their own, waiting for
# windows by name, clicks, adding a story through the stories window, and
# waiting for the program to end. Sourced, not run.

# new_program_folder <build folder>: copies the program into a fresh folder.
new_program_folder() {
    local dir
    dir=$(mktemp -d)
    cp "$1/quillrace" "$dir/"
    echo "$dir"
}

# write_library <folder> <story>: a library of one story, in the shape of
# the libraries made before keys were never handed out twice.
write_library() {
    sqlite3 "$1/dbStory.mdb" "create table story (id integer primary key, fldstory text);
        insert into story (fldstory) values ('${2//\'/\'\'}');" || fail "cannot write the library"
}

# start_program <build folder> <story>: the program started from a folder of
# its own, its library that one story; sets dir, pid and main (the main
# window's id). The program and the folder go when the test ends.
start_program() {
    dir=$(new_program_folder "$1")
    trap '[ -n "${pid:-}" ] && kill "$pid" 2>/dev/null; rm -rf "$dir"' EXIT
    write_library "$dir" "$2"
    "$dir/quillrace" &
    pid=$!
    main=$(wait_window "Quillrace Software")
    [ -n "$main" ] || fail "the main window did not map"
}

# wait_window <exact title> [seconds]: prints the id of a mapped window.
wait_window() {
    timeout "${2:-20}" xdotool search --sync --onlyvisible --name "^$1\$" 2>/dev/null | head -n 1
}

# wait_exit <pid> [seconds]: waits for the process and returns its exit code;
# 124 when it did not end in time.
wait_exit() {
    local pid=$1 limit=$((${2:-20} * 10))
    while kill -0 "$pid" 2>/dev/null && [ "$limit" -gt 0 ]; do
        sleep 0.1
        limit=$((limit - 1))
    done
    if kill -0 "$pid" 2>/dev/null; then
        kill "$pid"
        return 124
    fi
    wait "$pid"
}

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

# add_story <main window> <text>: Change Story, Add New, the text typed into
# the editor, Save and Close, each step waited for; fails the test on the way.
add_story() {
    local stories i
    click "$1" 268 87 # Change Story
    stories=$(wait_window "Stories")
    [ -n "$stories" ] || fail "Change Story did not open the stories window"
    wait_height "$stories" 215 || fail "the stories window did not open in browsing mode"
    click "$stories" 76 194 # Add New
    wait_height "$stories" 392 || fail "Add New did not show the editor"
    click "$stories" 293 305 # into the editor
    xdotool type --delay 30 "$2"
    click "$stories" 76 194 # Save
    wait_height "$stories" 215 || fail "Save did not return to browsing mode"
    click "$stories" 508 194 # Close
    for i in $(seq 50); do
        [ -z "$(xdotool search --onlyvisible --name '^Stories$' 2>/dev/null)" ] && return 0
        sleep 0.1
    done
    fail "Close did not close the stories window"
}

fail() {
    echo "FAIL: $*" >&2
    exit 1
}
