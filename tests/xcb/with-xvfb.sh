#!/usr/bin/env bash
# Runs a command against a fresh Xvfb server on a free display, with the real
# xcb platform, and stops the server afterwards. Without a runtime folder of
# its own the command gets a private one (mode 0700), removed afterwards.
# Usage: with-xvfb.sh cmd args...
set -u
fifo=$(mktemp -u)
mkfifo "$fifo"
runtime=""
if [ -z "${XDG_RUNTIME_DIR:-}" ]; then
    runtime=$(mktemp -d) && export XDG_RUNTIME_DIR=$runtime
fi
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$fifo" 2>/dev/null &
xvfb=$!
trap 'kill $xvfb 2>/dev/null; wait $xvfb 2>/dev/null; rm -f "$fifo"; rm -rf ${runtime:+"$runtime"}' EXIT
display=""
read -r -t 20 display <"$fifo" || true
if [ -z "$display" ]; then
    echo "with-xvfb: Xvfb did not start" >&2
    exit 1
fi
export DISPLAY=":$display" QT_QPA_PLATFORM=xcb
unset WAYLAND_DISPLAY
"$@"
