#!/usr/bin/env bash
# Quellio's cost while it only watches: a headless guarded browser with N open tabs
# (default 20), Quellio scanning it for S seconds (default 60) under a private X server.
# Prints Quellio's CPU time over that minute and its peak resident memory. With `extension`,
# the guarded browser runs the companion extension (which then guards it), and a headless
# Firefox with the add-on and as many tabs joins it; the bridges' memory is printed too.
#   bench/idle-cost.sh [TABS] [SECONDS] [devtools|extension]
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
bin=${QUELLIO_BIN:-$root/build/bin}
tabs=${1:-20}
seconds=${2:-60}
way=${3:-devtools}
pids=()
tmp=$(mktemp -d -t quellio-idle-XXXXXX)
cleanup() {
    for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null; done
    wait 2>/dev/null
    rm -rf "$tmp"
}
trap cleanup EXIT

export XDG_CONFIG_HOME=$tmp/config XDG_DATA_HOME=$tmp/data XDG_RUNTIME_DIR=$tmp/run
mkdir -p "$XDG_CONFIG_HOME/Quellio" "$XDG_RUNTIME_DIR"
chmod 700 "$XDG_RUNTIME_DIR"
# No tip of the day at start-up: its modal dialog would hold the program before it scans.
printf '[Tip]\nStartUp=1\n' >"$XDG_CONFIG_HOME/quellio.ini"
printf 'REGEDIT4\n\n[HKEY_LOCAL_MACHINE\\Software\\hollin\\QLIO\\wizard]\n"first"=dword:00000001\n' \
    >"$XDG_CONFIG_HOME/Quellio/registry.reg"
for n in $(seq 241 300); do
    [[ -e /tmp/.X11-unix/X$n || -e /tmp/.X$n-lock ]] || break
done
Xvfb ":$n" -screen 0 800x600x24 -nolisten tcp >/dev/null 2>&1 &
pids+=($!)
export DISPLAY=:$n
for _ in $(seq 100); do [[ -e /tmp/.X11-unix/X$n ]] && break; sleep 0.1; done

extension_flags=()
if [[ $way == extension ]]; then
    extension_flags=(--load-extension="$root/browser-extension")
    # Quellio writes the add-on's host manifest where Firefox keeps its files.
    export HOME=$tmp/home
    mkdir -p "$HOME/.mozilla" "$tmp/firefox/extensions"
    cp "$bin/quellio-companion.xpi" "$tmp/firefox/extensions/companion@quellio.github.io.xpi"
    printf '%s\n' 'user_pref("xpinstall.signatures.required", false);' \
        'user_pref("extensions.autoDisableScopes", 0);' >"$tmp/firefox/user.js"
    urls=()
    for i in $(seq "$tabs"); do urls+=("data:text/html,<title>tab $i</title>"); done
    firefox-esr --headless --no-remote --profile "$tmp/firefox" "${urls[@]}" >/dev/null 2>&1 &
    pids+=($!)
fi
"$root/scripts/headless-browser" "$bin/quellio-browser" "${extension_flags[@]}" \
    "data:text/html,<title>tab 1</title>" >/dev/null 2>&1 &
pids+=($!)
for _ in $(seq 300); do [[ -s $XDG_DATA_HOME/Quellio/browser/DevToolsActivePort ]] && break; sleep 0.1; done
port=$(head -n 1 "$XDG_DATA_HOME/Quellio/browser/DevToolsActivePort")
# A headless browser takes one address on its command line; the other tabs come through
# the DevTools service.
for i in $(seq 2 "$tabs"); do
    curl -s -X PUT "http://127.0.0.1:$port/json/new?data:text/html,tab%20$i" >/dev/null
done
sleep 3

"$bin/quellio" >/dev/null 2>&1 &
qpid=$!
pids+=($qpid)
# Start-up and the first passes, which read every window's bars once; the extensions try
# their host again after a few seconds.
[[ $way == extension ]] && sleep 15 || sleep 5

ticks=$(getconf CLK_TCK)
cpu() { awk '{print $14 + $15}' "/proc/$qpid/stat"; }
before=$(cpu)
sleep "$seconds"
after=$(cpu)
pages=$(python3 -c "import json, urllib.request; print(sum(t['type'] == 'page' for t in json.load(urllib.request.urlopen('http://127.0.0.1:$port/json/list'))))")
echo "open windows: $pages"
awk -v c=$((after - before)) -v t="$ticks" -v s="$seconds" \
    'BEGIN { printf "CPU over %d s of scanning: %.2f s (%.2f %% of one core)\n", s, c / t, 100 * c / t / s }'
grep -E 'VmHWM|VmRSS' "/proc/$qpid/status"
for pid in $(pgrep -x quellio-bridge); do
    if tr '\0' '\n' <"/proc/$pid/environ" 2>/dev/null | grep -qx "XDG_RUNTIME_DIR=$XDG_RUNTIME_DIR"; then
        echo "quellio-bridge of $(cat "/proc/$(awk '{print $4}' "/proc/$pid/stat")/comm"):" \
            "$(grep VmRSS "/proc/$pid/status")"
    fi
done
