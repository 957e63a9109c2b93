#!/usr/bin/env bash
# Runs scripts/screenshots as a user would and checks that every picture it promises is a
# picture of the size of what it shows.
#   screenshots_test.sh SOURCE_FOLDER BIN_FOLDER
set -uo pipefail
out=$(mktemp -d -t quellio-shots-test-XXXXXX)
trap 'rm -rf "$out"' EXIT
env -u DISPLAY -u WAYLAND_DISPLAY QUELLIO_BIN="$2" "$1/scripts/screenshots" "$out" ||
    { echo "scripts/screenshots failed"; exit 1; }
status=0
for name in cleaning cleaning-done tip general history blacklist whitelist logs about \
    about-mail-link-hover about-web-link-hover tray-menu tray-menu-highlight; do
    size=$(identify -format '%wx%h' "$out/$name.png" 2>/dev/null)
    # A window is never smaller than this; a failed grab gives no file or a tiny one.
    if [[ ! $size =~ ^([0-9]+)x([0-9]+)$ ]] || ((BASH_REMATCH[1] < 100 || BASH_REMATCH[2] < 60)); then
        echo "$name.png: missing or not a picture of a window (${size:-no file})"
        status=1
    fi
done
exit $status
