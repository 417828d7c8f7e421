# Shared by the real-window tests: a program folder of their own, waiting for
# windows by name, and waiting for the program to end. Sourced, not run.

# new_program_folder <build folder>: copies the program into a fresh folder.
new_program_folder() {
    local dir
    dir=$(mktemp -d)
    cp "$1/quillrace" "$dir/"
    echo "$dir"
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

fail() {
    echo "FAIL: $*" >&2
    exit 1
}
