# Every window asked to close at once (a dock's "Quit", a session's end)
# while the stories window holds an unsaved story: one question, and No keeps
# the program and the story, in either order of the requests. With nothing
# unsaved, the same requests end the program with code 0.
set -u
build=$1 xclose=$2
. "$(dirname "$0")/lib.sh"

start_program "$build" "The story."
click "$main" 268 87 # Change Story
stories=$(wait_window "Stories")
[ -n "$stories" ] || fail "Change Story did not open the stories window"
click "$stories" 76 194 # Add New
wait_height "$stories" 392 || fail "Add New did not show the editor"
click "$stories" 293 305
xdotool type --delay 30 "Unsaved story."

for order in "$stories $main" "$main $stories"; do
    for window in $order; do "$xclose" "$window"; done
    question=$(wait_window "Quillrace" 10)
    sleep 0.5 # the other request arrives while the question is open
    kill -0 "$pid" 2>/dev/null || fail "the program ended, the question unanswered (order $order)"
    [ -n "$question" ] || fail "no question (order $order)"
    "$xclose" "$question" # as Escape: No
    sleep 0.5
    kill -0 "$pid" 2>/dev/null || fail "the program ended after No (order $order)"
    [ -z "$(xdotool search --onlyvisible --name '^Quillrace$' 2>/dev/null)" ] ||
        fail "asked again (order $order)"
    xwininfo -id "$stories" | grep -q IsViewable || fail "No closed the stories window"
done

click "$stories" 76 194 # Save: the typed story was kept
wait_height "$stories" 215 || fail "Save did not return to browsing mode"
stored=$(sqlite3 "$dir/dbStory.mdb" "select id || ':' || fldstory from story order by id")
[ "$stored" = $'1:The story.\n2:Unsaved story.' ] || fail "on file: $stored"

"$xclose" "$stories"
"$xclose" "$main"
wait_exit "$pid"
code=$?
pid=""
[ $code -eq 0 ] || fail "exit code $code after closing every window"
