# The stories window in a real window: Change Story opens "Stories", a story
# typed into its editor and saved is on file once the window is closed.
set -u
build=$1 xclose=$2
. "$(dirname "$0")/lib.sh"

start_program "$build" "The first story."
add_story "$main" "Tom's second story."

stored=$(sqlite3 "$dir/dbStory.mdb" "select id || ':' || fldstory from story order by id")
expected=$'1:The first story.\n2:Tom\'s second story.'
[ "$stored" = "$expected" ] || fail "on file: $stored"

"$xclose" "$main"
wait_exit "$pid"
code=$?
pid=""
[ $code -eq 0 ] || fail "exit code $code after closing the main window"
