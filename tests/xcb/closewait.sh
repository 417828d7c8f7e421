# A close of the main window while Start waits for another program's lock is
# not lost: the wait fails, its reports are answered, and then the program
# ends with code 0.
set -u
build=$1 xclose=$2
. "$(dirname "$0")/lib.sh"

start_program "$build" "The story."
holder=""
trap '[ -n "$holder" ] && kill "$holder" 2>/dev/null; [ -n "${pid:-}" ] && kill "$pid" 2>/dev/null; rm -rf "$dir"' EXIT
library="$dir/dbStory.mdb"

# Another program holds the library exclusively, longer than Start waits (5 s).
mkfifo "$dir/hold"
sqlite3 "$library" <"$dir/hold" &
holder=$!
exec 4>"$dir/hold"
echo "begin exclusive;" >&4
for _ in $(seq 50); do
    sqlite3 "$library" "select count(*) from story" >/dev/null 2>&1 || break
    sleep 0.1
done
sqlite3 "$library" "select count(*) from story" >/dev/null 2>&1 && fail "the library is not locked"

xdotool mousemove --sync --window "$main" 136 19 click 1 # Start
# The wait shows nowhere outside the program, so the close request is sent a
# second into its five.
sleep 1
"$xclose" "$main"

# Every report of the failed pick is answered; the close then goes ahead.
reports=0
misses=0
while kill -0 "$pid" 2>/dev/null && [ $reports -lt 10 ] && [ $misses -lt 2 ]; do
    box=$(wait_window "Application Error" 3)
    if [ -z "$box" ]; then
        misses=$((misses + 1))
        continue
    fi
    misses=0
    "$xclose" "$box"
    reports=$((reports + 1))
    for _ in $(seq 50); do
        xwininfo -id "$box" 2>/dev/null | grep -q IsViewable || break
        sleep 0.1
    done
done
wait_exit "$pid" 10
code=$?
pid=""
[ $code -eq 0 ] || fail "exit code $code: the close was lost (after $reports reports)"
[ $reports -eq 5 ] || fail "$reports reports instead of the pick's 5"
