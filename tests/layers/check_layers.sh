#!/usr/bin/env bash
# Fails when a source file includes a header of a higher layer. The layers,
# lowest first; a file may include headers of its own layer and of those
# below it, and the tests may include anything.
#
# Usage: check_layers.sh ROOT [FOLDER ...]
# FOLDERs are the layer folders that must exist under ROOT (every layer when
# none is given). It fails as well when ROOT or such a folder is missing or
# no source file was found: a check that scanned nothing proves nothing.
#
# Every include form counts: "folder/file.h" and <folder/file.h> from the
# source root, "../folder/file.h" relative to the including file, and an IDL
# import "folder/file.idl".
set -u

layers=(platform text config backend jobs server bridge tools bench fuzz tests)
root=${1:?usage: check_layers.sh ROOT [FOLDER ...]}
shift
required=("$@")
[ ${#required[@]} -gt 0 ] || required=("${layers[@]}")

declare -A rank
for i in "${!layers[@]}"; do
    rank[${layers[$i]}]=$i
done

if [ ! -d "$root" ]; then
    echo "no such folder: $root"
    exit 2
fi
root=$(cd "$root" && pwd)
for folder in "${required[@]}"; do
    if [ -z "${rank[$folder]:-}" ]; then
        echo "not a layer: $folder; layers, lowest first: ${layers[*]}"
        exit 2
    fi
    if [ ! -d "$root/$folder" ]; then
        echo "layer folder missing: $folder"
        exit 2
    fi
done

sources=(-name '*.h' -o -name '*.hpp' -o -name '*.c' -o -name '*.cc' -o -name '*.cpp'
         -o -name '*.in' -o -name '*.rc' -o -name '*.idl' -o -name '*.inl')
# #include "path" or <path>, # import "path" (IDL), any spacing.
directive='^[[:space:]]*(#[[:space:]]*include|import)[[:space:]]*["<]([^">]+)[">]'

scanned=0
violations=0
for layer in "${layers[@]}"; do
    [ -d "$root/$layer" ] || continue
    files=()
    while IFS= read -r -d '' file; do
        files+=("$file")
    done < <(find "$root/$layer" -type f \( "${sources[@]}" \) -print0 | sort -z)
    [ ${#files[@]} -gt 0 ] || continue
    scanned=$((scanned + ${#files[@]}))
    # file:line:text of every directive.
    while IFS= read -r hit; do
        file=${hit%%:*}
        rest=${hit#*:}
        number=${rest%%:*}
        text=${rest#*:}
        [[ $text =~ $directive ]] || continue
        path=${BASH_REMATCH[2]}
        # A relative path is taken from the including file's folder; any
        # other from the source root.
        if [[ $path == ./* || $path == ../* ]]; then
            path=$(realpath -m --relative-to="$root" "$(dirname "$file")/$path")
        fi
        folder=${path%%/*}
        [ "$folder" != "$path" ] || continue
        target=${rank[$folder]:-}
        if [ -n "$target" ] && [ "$target" -gt "${rank[$layer]}" ]; then
            echo "${file#"$root"/}:$number: $layer includes a header of the higher layer $folder: ${text#"${text%%[![:space:]]*}"}"
            violations=$((violations + 1))
        fi
    done < <(grep -HnE "$directive" "${files[@]}")
done

if [ "$scanned" -eq 0 ]; then
    echo "no source file in the layer folders: nothing was checked"
    exit 2
fi
if [ "$violations" -ne 0 ]; then
    echo "$violations include(s) of a higher layer in $scanned files; layers, lowest first: ${layers[*]}"
    exit 1
fi
echo "no include of a higher layer in $scanned files"
