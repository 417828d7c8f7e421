# A close request sent the moment the main window maps ends the program, as
# under a screen reader: the accessibility bus is up and the program is on it.
# Twenty starts, each closed at once.
set -u
build=$1 xclose=$2
. "$(dirname "$0")/lib.sh"
# A session bus of the test's own, on which the accessibility bus starts.
[ -n "${QUILL_OWN_BUS:-}" ] || QUILL_OWN_BUS=1 exec dbus-run-session -- bash "$0" "$@"

a11y=$(dbus-send --session --print-reply=literal --dest=org.a11y.Bus /org/a11y/bus \
    org.a11y.Bus.GetAddress 2>/dev/null | tr -d ' ')
[ -n "$a11y" ] || fail "the accessibility bus did not start (Debian package at-spi2-core)"
export QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1

dir=$(new_program_folder "$build")
pid=""
trap '[ -n "$pid" ] && kill "$pid" 2>/dev/null; rm -rf "$dir"' EXIT
write_library "$dir" "The story."

for run in $(seq 20); do
    "$dir/quillrace" 2>"$dir/output" &
    pid=$!
    main=""
    # Asked without a pause, to close the window the moment it maps.
    deadline=$((SECONDS + 30))
    while [ -z "$main" ] && [ $SECONDS -lt $deadline ] && kill -0 "$pid" 2>/dev/null; do
        main=$(xdotool search --onlyvisible --name '^Quillrace Software$' 2>/dev/null | head -n 1)
    done
    if [ -z "$main" ]; then
        kill -0 "$pid" 2>/dev/null && state="still running" || { wait "$pid"; state="ended with $?"; }
        fail "the main window did not map (run $run): the program $state;" \
            "windows: $(xdotool search --name . getwindowname %@ 2>/dev/null | tr '\n' '|');" \
            "its output: $(tail -5 "$dir/output")"
    fi
    # The first time, the program is seen on the accessibility bus first.
    seen=$((run > 1))
    for _ in $(seq 50); do
        [ $seen -eq 1 ] && break
        dbus-send --bus="$a11y" --print-reply --dest=org.a11y.atspi.Registry \
            /org/a11y/atspi/accessible/root org.a11y.atspi.Accessible.GetChildren |
            grep -q 'object path' && seen=1 || sleep 0.1
    done
    [ $seen -eq 1 ] || fail "the program did not appear on the accessibility bus"
    "$xclose" "$main"
    wait_exit "$pid" 10
    code=$?
    pid=""
    [ $code -eq 0 ] || fail "exit code $code: the close right after start-up was lost (run $run)"
done
