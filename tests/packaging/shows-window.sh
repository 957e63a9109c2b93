#!/usr/bin/env bash
# Starts PROGRAM on $DISPLAY and waits up to thirty seconds for a visible window whose title
# matches PATTERN while the program runs; then ends the program. Exits 0 when one showed.
# usage: shows-window.sh PATTERN PROGRAM [ARG...]
set -uo pipefail
pattern=$1
shift
log=$(mktemp)
"$@" >"$log" 2>&1 &
pid=$!
trap 'kill "$pid" 2>/dev/null; wait "$pid" 2>/dev/null; rm -f "$log"' EXIT
for _ in $(seq 300); do
    kill -0 "$pid" 2>/dev/null || { echo "$1 ended before a window \"$pattern\" showed:"; cat "$log"; exit 1; }
    [[ -n $(xdotool search --onlyvisible --name "$pattern" 2>/dev/null) ]] && exit 0
    sleep 0.1
done
echo "no window \"$pattern\" of $1 within thirty seconds:"
cat "$log"
exit 1
