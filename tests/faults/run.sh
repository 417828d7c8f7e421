#!/usr/bin/env bash
# Puts each listed fault into the code, one at a time, and checks that a test
# notices it. A fault is a patch in tests/faults/<module>/, whose first lines,
# before the diff, say what a user would see and which tests should catch it:
#
#   Effect: Enter at the discard question drops the typed story
#   Tests: tst_form3|xcb_closewait
#
# Usage: tests/faults/run.sh [--all] [module-or-patch...]
# Builds into build-faults/ (configured on first use). Without --all only the
# tests the patch names run; with it every test but the package's. The
# working tree is restored after each patch. A fault must build: one that does
# not is a mistake in the patch, not a catch. Prints one line per fault and
# exits 1 when any fault went unnoticed, no longer applies or does not build.
set -uo pipefail

top=$(git -C "$(dirname "$0")" rev-parse --show-toplevel) || exit 2
cd "$top" || exit 2
all=0
[[ ${1:-} == --all ]] && { all=1; shift; }

patches=()
for arg in "${@:-tests/faults}"; do
    # A module's name first: some are also names of source folders.
    [[ -d tests/faults/$arg ]] && arg=tests/faults/$arg
    if [[ -d $arg ]]; then
        while IFS= read -r p; do patches+=("$p"); done < <(find "$arg" -name '*.patch' | sort)
    else
        patches+=("$arg")
    fi
done

build=build-faults
if [[ ! -f $build/CMakeCache.txt ]]; then
    cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release >/dev/null || exit 2
fi

applied=""
restore() { [[ -n $applied ]] && git apply -R "$applied"; applied=""; }
trap restore EXIT INT TERM

caught=0 missed=0 stale=0 broken=0
for patch in "${patches[@]}"; do
    effect=$(sed -n 's/^Effect: //p' "$patch" | head -n 1)
    tests=$(sed -n 's/^Tests: //p' "$patch" | head -n 1)
    if ! git apply "$patch" 2>/dev/null; then
        printf 'STALE   %s (no longer applies)\n' "$patch"
        stale=$((stale + 1))
        continue
    fi
    applied=$patch
    if ! cmake --build "$build" -j"$(nproc)" >"$build/fault-build.log" 2>&1; then
        verdict=BROKEN
    else
        selection=(-E '^deb_|^xcb_deb_users$')
        ((all)) || [[ -z $tests ]] || selection=(-R "^($tests)\$")
        if (cd "$build" && ctest -j"$(nproc)" "${selection[@]}" >fault-test.log 2>&1); then
            verdict=MISSED
        else
            verdict="caught by $(grep -oE '[0-9]+ - [a-z0-9_]+' "$build/fault-test.log" | cut -d' ' -f3 | paste -sd, -)"
        fi
    fi
    restore
    case $verdict in
    MISSED) missed=$((missed + 1)) ;;
    BROKEN) broken=$((broken + 1)) ;;
    *) caught=$((caught + 1)) ;;
    esac
    printf '%-7s %s: %s\n' "${verdict%% *}" "$patch" "$effect"
    [[ $verdict == caught\ by* ]] && printf '        %s\n' "$verdict"
done
printf '\n%d caught, %d missed, %d stale, %d not building, of %d\n' "$caught" "$missed" "$stale" \
    "$broken" "${#patches[@]}"
((missed == 0 && stale == 0 && broken == 0))
