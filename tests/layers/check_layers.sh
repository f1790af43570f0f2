#!/usr/bin/env bash
# Fails when a source file includes a header of a higher layer. The layers,
# lowest first; a file may include headers of its own layer and of those
# below it, and the tests may include anything. Usage: check_layers.sh ROOT
set -u

root=${1:?usage: check_layers.sh SOURCE_ROOT}
layers=(platform text config backend jobs server tools bench fuzz tests)
declare -A rank
for i in "${!layers[@]}"; do
    rank[${layers[$i]}]=$i
done

include='^[[:space:]]*#[[:space:]]*include[[:space:]]*"([a-z_]+)/[^"]*"'
violations=0
for layer in "${layers[@]}"; do
    [ -d "$root/$layer" ] || continue
    # file:line:text of every include of "folder/...".
    while IFS= read -r hit; do
        file=${hit%%:*}
        rest=${hit#*:}
        line=${rest%%:*}
        text=${rest#*:}
        [[ $text =~ $include ]] || continue
        folder=${BASH_REMATCH[1]}
        target=${rank[$folder]:-}
        if [ -n "$target" ] && [ "$target" -gt "${rank[$layer]}" ]; then
            echo "${file#"$root"/}:$line: $layer includes a header of the higher layer $folder: ${text#"${text%%[![:space:]]*}"}"
            violations=$((violations + 1))
        fi
    done < <(grep -rnE --include='*.h' --include='*.hpp' --include='*.c' --include='*.cc' \
                 --include='*.cpp' --include='*.in' "$include" "$root/$layer")
done

if [ "$violations" -ne 0 ]; then
    echo "$violations include(s) of a higher layer; layers, lowest first: ${layers[*]}"
    exit 1
fi
echo "no include of a higher layer"
