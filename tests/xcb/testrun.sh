# A whole typing test in real windows: Start, the story typed with one wrong
# word, a little over two seconds, Stop; the results window maps with the
# mistaken word in red, closes, and the program ends with code 0.
set -u
build=$1 xclose=$2 xredcount=$3
. "$(dirname "$0")/lib.sh"

story='The quick brown fox'
typed='The quick brwn fox'

dir=$(new_program_folder "$build")
trap 'rm -rf "$dir"' EXIT
cp "$build/HAND-M.CUR" "$dir/"
write_library "$dir" "$story"

"$dir/quillrace" &
pid=$!
main=$(wait_window "Quillrace Software")
[ -n "$main" ] || fail "the main window did not map"

# Buttons by their place in the window (pixels): Start at 8,6 and Stop at
# 272,6, each 256 x 27. Without a window manager the keyboard follows the
# pointer, which stays over the main window while typing.
xdotool mousemove --sync --window "$main" 136 19 click 1
sleep 0.3
xdotool type --delay 30 "$typed"
sleep 2.3
xdotool mousemove --sync --window "$main" 400 19 click 1

results=$(wait_window "Results" 10)
[ -n "$results" ] || fail "the results window did not map"
[ -z "$(xdotool search --onlyvisible --name '^Application Error$' 2>/dev/null)" ] ||
    fail "a failure was reported"

# The mistaken word is drawn in red in the box (8,8 576 x 166): the box holds
# red pixels only when a word is marked.
# The window may map before its first paint, so the count is read again for a while.
red=0
for _ in $(seq 50); do
    red=$("$xredcount" "$results" 8 8 576 166) || fail "cannot read the results window's pixels"
    [ "$red" -gt 0 ] && break
    sleep 0.1
done
[ "${red:-0}" -gt 0 ] || fail "no red word in the results box"

# Close (8,301 576 x 27) unloads the window.
xdotool mousemove --sync --window "$results" 296 314 click 1
gone=0
for _ in $(seq 50); do
    if [ -z "$(xdotool search --onlyvisible --name '^Results$' 2>/dev/null)" ]; then
        gone=1
        break
    fi
    sleep 0.1
done
[ $gone -eq 1 ] || fail "the results window did not close"

"$xclose" "$main"
wait_exit $pid
code=$?
[ $code -eq 0 ] || fail "exit code $code after closing the main window"
echo "red pixels in the results box: $red"
