#!/usr/bin/env bash
# Runs a command against a fresh Xvfb server on a free display, with the real
# xcb platform, and stops the server afterwards. Usage: with-xvfb.sh cmd args...
set -u
fifo=$(mktemp -u)
mkfifo "$fifo"
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$fifo" 2>/dev/null &
xvfb=$!
trap 'kill $xvfb 2>/dev/null; wait $xvfb 2>/dev/null; rm -f "$fifo"' EXIT
display=""
read -r -t 20 display <"$fifo" || true
if [ -z "$display" ]; then
    echo "with-xvfb: Xvfb did not start" >&2
    exit 1
fi
export DISPLAY=":$display" QT_QPA_PLATFORM=xcb
unset WAYLAND_DISPLAY
"$@"
