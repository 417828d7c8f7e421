# The program on a Wayland compositor: weston draws into a window of the Xvfb
# that with-xvfb.sh started, so xdotool's keys and clicks reach the program as
# Wayland keyboard and pointer events. A whole test run by keyboard; Results
# and Stories are announced as children of the main window; and a click on the
# main window while Stories is open leaves the keyboard with Stories.
set -u
build=$1
. "$(dirname "$0")/lib.sh"

story='The quick brown fox'
typed='The quick brwn fox'
added='Typed after a click on the main window.'

work=$(mktemp -d)
runtime=$(mktemp -d)
chmod 700 "$runtime"
weston_pid="" pid=""
cleanup() {
    [ -n "$pid" ] && kill "$pid" 2>/dev/null
    [ -n "$weston_pid" ] && kill "$weston_pid" 2>/dev/null && wait "$weston_pid" 2>/dev/null
    rm -rf "$work" "$runtime"
}
trap cleanup EXIT

cp "$build/quillrace" "$work/"
write_library "$work" "$story"

# No panel, no on-screen keyboard: the output holds nothing but the program.
cat >"$work/weston.ini" <<'EOF'
[core]
idle-time=0
[shell]
panel-position=none
locking=false
[input-method]
path=
EOF
width=1024 height=768
export XDG_RUNTIME_DIR=$runtime WAYLAND_DISPLAY=quillrace-test
weston --debug --config="$work/weston.ini" --backend=x11-backend.so --use-pixman \
    --width=$width --height=$height --socket="$WAYLAND_DISPLAY" >"$work/weston.log" 2>&1 &
weston_pid=$!
log=$work/protocol.log

# until_true <seconds> <command...>: runs the command every tenth of a second
# until it succeeds; fails when it never does in time.
until_true() {
    local limit=$(($1 * 10))
    shift
    while ! "$@"; do
        limit=$((limit - 1))
        [ "$limit" -gt 0 ] || return 1
        sleep 0.1
    done
}

until_true 20 test -S "$runtime/$WAYLAND_DISPLAY" || fail "weston did not start: $(tail -3 "$work/weston.log")"
QT_QPA_PLATFORM=wayland WAYLAND_DEBUG=1 "$work/quillrace" 2>"$log" &
pid=$!

# toplevel <title>: "<xdg_toplevel> <wl_surface> <parent xdg_toplevel or none>"
# of the last window announced with that title.
toplevel() {
    awk -v want="\"$1\"" '
        function id(text, kind) { match(text, kind "@[0-9]+"); return substr(text, RSTART, RLENGTH) }
        /get_xdg_surface\(/ { surface[id($0, "new id xdg_surface")] = id($0, "wl_surface") }
        /\.get_toplevel\(/ {
            t = id($0, "new id xdg_toplevel"); sub(/new id /, "", t)
            x = id($0, "xdg_surface"); top[t] = surface["new id " x]; parent[t] = "none"
        }
        /\.set_parent\(/ { split($0, p, /[(),]/); parent[id(p[1], "xdg_toplevel")] = id(p[2], "xdg_toplevel") }
        /\.set_title\(/ { split($0, q, /[()]/); if (q[2] == want) found = id($0, "xdg_toplevel") }
        END { if (found != "") print found, top[found], parent[found] }' "$log"
}

# view <title> <position|opaque>: "x1 y1 x2 y2" of that window on the output,
# from weston's scene graph (opaque: the client area without the frame).
view() {
    timeout 5 weston-debug scene-graph 2>/dev/null | awk -v want="'$1'" -v kind="$2" '
        index($0, "top-level window " want " ") { found = 1; next }
        found && index($0, kind ":") { gsub(/[^0-9]+/, " "); print $1, $2, $3, $4; exit }
        found && /View [0-9]/ { exit }'
}

# has_keyboard <wl_surface>: the program's keyboard focus is on that surface.
has_keyboard() {
    grep -o 'wl_keyboard@[0-9]*\.\(enter\|leave\)([0-9]*, wl_surface@[0-9]*' "$log" | tail -n 1 |
        grep -q "\.enter([0-9]*, $1\$"
}

# shown <title>: the window is on the output; a failure report instead, or the
# end of the program, ends the test.
shown() {
    kill -0 "$pid" 2>/dev/null || fail "the program ended while waiting for \"$1\""
    [ -z "$(view "Application Error" position)" ] || fail "a failure was reported instead"
    [ -n "$(view "$1" opaque)" ]
}

# wait_for <title>: waits until the window is on the output and has the keyboard;
# its xdg_toplevel, wl_surface and parent are then in $top, $surface and $parent.
wait_for() {
    local title=$1
    until_true 20 shown "$title" || fail "the window \"$title\" did not appear"
    read -r top surface parent <<<"$(toplevel "$title")"
    until_true 10 has_keyboard "$surface" || fail "the window \"$title\" did not get the keyboard"
}

# click <x> <y>: a left click at that point of the output. The pointer enters
# weston's window afresh, where weston takes its position as it is.
click() {
    xdotool mousemove --sync $((width + 50)) $((height + 50)) mousemove --sync "$1" "$2" click 1
}

wait_for "Quillrace Software"
main_top=$top main_surface=$surface
read -r mx my _ <<<"$(view "Quillrace Software" opaque)"
grep -q "$main_top\.set_app_id(\"org.quillrace.Quillrace\")" "$log" ||
    fail "the main window's app id is not org.quillrace.Quillrace"
echo "main window: $main_top on $main_surface, app id org.quillrace.Quillrace, client area at $mx,$my"

# A whole test run by keyboard: Tab to the typing box and on to Start, Return;
# the story typed with one wrong word; Tab to Stop (Start is disabled), Return.
xdotool key Tab Tab Return
xdotool type --delay 60 "$typed"
# The clock counts whole seconds, and a Stop before its first tick has no time
# to divide by. Nothing outside the program shows the tick, so it is given a
# second and more here; on a machine so loaded that the tick comes later still,
# the "Division by zero" report is answered and the results follow it.
sleep 1.5
xdotool key Tab Return
until_true 20 eval '[ -n "$(view Results opaque)$(view "Application Error" position)" ]' ||
    fail "Stop showed neither the results nor a report"
if [ -n "$(view "Application Error" position)" ]; then
    echo "the first tick came late: Stop reported no elapsed second, answered"
    xdotool key Return
fi
wait_for Results
[ "$parent" = "$main_top" ] ||
    fail "Results ($top) is announced with parent $parent, not the main window $main_top"
echo "Results: $(grep -o "$top\.set_parent(.*)" "$log" | tail -n 1), the main window's toplevel"
# Tab from the typed text to Close, Return.
xdotool key Tab Return
until_true 10 eval '[ -z "$(view Results opaque)" ]' || fail "Return on Close did not close Results"
until_true 10 has_keyboard "$main_surface" || fail "the keyboard did not return to the main window"

# Change Story (client 8,74, 520 x 27), then Tab to Add New and Return: the
# editor has the keyboard.
click $((mx + 268)) $((my + 87))
wait_for Stories
[ "$parent" = "$main_top" ] ||
    fail "Stories ($top) is announced with parent $parent, not the main window $main_top"
echo "Stories: $(grep -o "$top\.set_parent(.*)" "$log" | tail -n 1), the main window's toplevel"
stories_surface=$surface
xdotool key Tab Return
until_true 10 eval '[ "$(view Stories opaque | awk "{ print \$4 - \$2 }")" = 392 ]' ||
    fail "Add New did not open the editor"

# A click on a part of the main window that Stories does not cover: Start, the
# typing box or the time label, whichever is in sight.
read -r sx1 sy1 sx2 sy2 <<<"$(view Stories position)"
target=""
for at in "136 19" "268 380" "268 460"; do
    read -r ax ay <<<"$at"
    x=$((mx + ax)) y=$((my + ay))
    if [ $x -lt "$sx1" ] || [ $x -gt "$sx2" ] || [ $y -lt "$sy1" ] || [ $y -gt "$sy2" ]; then
        target="$x $y"
        break
    fi
done
[ -n "$target" ] || fail "Stories covers the whole main window"
before=$(wc -l <"$log")
click $target
# The press and release reach the program after the pointer enters the main window.
until_true 10 eval 'tail -n +$((before + 1)) "$log" | sed -n "/wl_pointer@[0-9]*\.enter([0-9]*, $main_surface,/,\$p" |
    grep -q "wl_pointer@[0-9]*\.button(.*, 0)"' ||
    fail "the click at $target did not reach the main window"
has_keyboard "$stories_surface" || fail "a click on the main window took the keyboard from Stories"
echo "click on the main window at $target: the keyboard stays with Stories ($stories_surface)"

# What is typed now lands in the editor: Tab to the list and on to Save,
# Return; then Tab past Delete and Edit to Close, Return.
xdotool type --delay 30 "$added"
xdotool key Tab Tab Return
until_true 10 eval '[ "$(view Stories opaque | awk "{ print \$4 - \$2 }")" = 215 ]' ||
    fail "Save did not return to browsing"
xdotool key Tab Tab Tab Return
until_true 10 eval '[ -z "$(view Stories opaque)" ]' || fail "Return on Close did not close Stories"
stored=$(sqlite3 "$work/dbStory.mdb" "select fldstory from story order by id")
[ "$stored" = "$story"$'\n'"$added" ] || fail "on file after the click: $stored"
echo "typed after the click and saved: \"$added\""

# The main window's close box, drawn by Qt at the right of its title bar.
read -r _ vy1 vx2 _ <<<"$(view "Quillrace Software" position)"
click $((vx2 - 18)) $((vy1 + 14))
wait_exit "$pid"
code=$?
pid=""
[ $code -eq 0 ] || fail "exit code $code after closing the main window"
echo "the program ended with code 0"
