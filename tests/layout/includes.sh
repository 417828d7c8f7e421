#!/usr/bin/env bash
# The include direction, read from README.md's layout table: a file includes
# only from its own folder and from folders listed above it there, and a file
# of the window-free core includes no header from Qt's GUI or Widgets include
# folders, which the core library must not have on its include path either.
# Every top-level folder that holds C++ sources must have its row.
#
# Usage: includes.sh <source dir> <core library's sources> <core library's
#        include path> <Qt Core's and the compiler's own include path>
#        <Qt GUI and Widgets' include path>
# Each list is separated by '|'. Every break of the rule is named by file and
# line; the exit status is 1 when there is any.
set -euo pipefail

src=$(readlink -f "$1")
IFS='|' read -ra coreSources <<<"$2"
IFS='|' read -ra coreIncludePath <<<"$3"
IFS='|' read -ra basePath <<<"$4"
IFS='|' read -ra qtGuiPath <<<"$5"
failures=()

# Rank of each folder: its row in the table (a row may name several folders).
declare -A rank=()
row=0
while IFS= read -r line; do
    row=$((row + 1))
    for folder in $(cut -d'|' -f2 <<<"$line" | grep -o '`[^`/]*/`' | tr -d '`/'); do
        rank[$folder]=$row
    done
done < <(sed -n '/^## Layout/,/^## /p' "$src/README.md" | grep '^| `')
((${#rank[@]} > 0)) || { echo "README.md: no layout table under '## Layout'" >&2; exit 1; }

# The folder of a path below the source folder, or nothing.
folderOf() {
    local path
    path=$(readlink -f "$1")
    [[ $path == "$src"/*/* ]] || return 0
    path=${path#"$src"/}
    echo "${path%%/*}"
}

# Qt's GUI and Widgets folders: what their include path adds to Qt Core's and
# the compiler's own.
guiFolders=()
for dir in "${qtGuiPath[@]}"; do
    [[ " ${basePath[*]} " == *" $dir "* ]] || guiFolders+=("$dir")
done
isGui() {
    local dir
    for dir in "${guiFolders[@]}"; do
        [[ $1 == "$dir" || $1 == "$dir"/* ]] && return 0
    done
    return 1
}

declare -A core=()
for file in "${coreSources[@]}"; do
    folder=$(folderOf "$file")
    [[ -n $folder && -n ${rank[$folder]:-} ]] && core[$folder]=1
done
((${#core[@]} > 0)) || failures+=("the core library has no sources in a folder of the layout table")
for dir in "${coreIncludePath[@]}"; do
    isGui "$dir" && failures+=("the core library has $dir, a Qt GUI or Widgets folder, on its include path")
done

# Every top-level folder that holds C++ sources has its row; a build folder
# (one CMake has configured) is no source folder.
for dir in "$src"/*/; do
    folder=$(basename "$dir")
    [[ -n ${rank[$folder]:-} || -f $dir/CMakeCache.txt ]] && continue
    [[ -z $(find "$dir" \( -name '*.cpp' -o -name '*.h' \) -print -quit) ]] ||
        failures+=("$folder/ holds C++ sources, but the layout table does not list it")
done

for own in "${!rank[@]}"; do
    [[ -d $src/$own ]] || continue
    while IFS= read -r -d '' file; do
        name=${file#"$src"/}
        while IFS=: read -r number text; do
            [[ $text =~ include[[:space:]]*([\<\"])([^\>\"]+) ]] || continue
            header=${BASH_REMATCH[2]}
            found=""
            for candidate in "$(dirname "$file")/$header" "$src/$header"; do
                [[ -f $candidate ]] && { found=$candidate; break; }
            done
            if [[ -n $found ]]; then
                folder=$(folderOf "$found")
                if [[ -z $folder ]]; then
                    continue # outside the source folder: generated
                elif [[ -z ${rank[$folder]:-} ]]; then
                    failures+=("$name:$number: includes $header from $folder/, which the layout table does not list")
                elif ((rank[$folder] > rank[$own])); then
                    failures+=("$name:$number: includes $header from $folder/, which the layout table lists after $own/")
                fi
            elif [[ -n ${core[$own]:-} ]]; then
                for dir in "${basePath[@]}" "${qtGuiPath[@]}"; do
                    [[ -f $dir/$header ]] || continue
                    isGui "$(dirname "$dir/$header")" &&
                        failures+=("$name:$number: the window-free core includes <$header>, a Qt GUI or Widgets header")
                    break
                done
            fi
        done < <(grep -nE '^[[:space:]]*#[[:space:]]*include' "$file" || true)
    done < <(find "$src/$own" -type f \( -name '*.cpp' -o -name '*.h' \) -print0 | sort -z)
done

((${#failures[@]} == 0)) || { printf '%s\n' "${failures[@]}" >&2; exit 1; }
echo "includes follow README.md's layout table (${#rank[@]} folders; window-free: ${!core[*]})"
