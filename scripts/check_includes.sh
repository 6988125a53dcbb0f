#!/usr/bin/env bash
# Fails when a program folder includes a folder later in the layering order, naming the file and line.
# The order (bottom first): a folder includes only its own files and folders earlier in the list.
# Tests, benchmarks and fuzz targets sit outside the program and may include any of it.
set -uo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."

LAYERS=(base persistence presentation net diagnostics window compact ui/common ui/dashboard ui/usage ui/settings app)

rank() { # prints the index of the layer that holds path $1, or nothing
    local i
    for i in "${!LAYERS[@]}"; do
        case "$1" in "${LAYERS[$i]}"/*) echo "$i"; return ;; esac
    done
}

bad=0
checked=0
while IFS= read -r file; do
    from=$(rank "$file")
    [ -n "$from" ] || continue
    while IFS=: read -r line target; do
        checked=$((checked + 1))
        to=$(rank "$target")
        if [ -z "$to" ] || [ "$to" -gt "$from" ]; then
            echo "$file:$line: includes \"$target\", which is not below ${LAYERS[$from]}/" >&2
            bad=$((bad + 1))
        fi
    done < <(awk 'match($0, /^[ \t]*#[ \t]*include[ \t]*"[^"]*"/) {
        t = $0; sub(/^[^"]*"/, "", t); sub(/".*$/, "", t); print FNR ":" t }' "$file")
done < <(git ls-files --cached --others --exclude-standard -- '*.h' '*.cpp')

if [ "$bad" -gt 0 ]; then
    echo "include order: $bad include(s) point up the order" >&2
    exit 1
fi
echo "include order: $checked includes checked, none points up"
