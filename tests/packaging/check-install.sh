#!/usr/bin/env bash
# Installs a build into a temporary prefix and checks what a Linux desktop needs of it: the
# program's private folder with the wizard library, the help and the tips, the launcher entry, the
# AppStream metadata and the icons, all valid by the desktop's own tools; the native messaging
# host with its manifests, and the companion extension.
# usage: check-install.sh BUILD_DIR SOURCE_DIR PKGLIBDIR BINDIR DATADIR
set -euo pipefail
build=$1 source=$2 pkglib=$3 bindir=$4 datadir=$5
id=io.github.quellio.Quellio

root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT
prefix=$root/usr
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

cmake --install "$build" --prefix "$prefix" >/dev/null

# The help goes beside the executable, in the build tree as once installed.
cmp -s "$source/res/help/Quellio.html" "$build/bin/Quellio.html" || fail "help not copied into $build/bin"
[[ -f $prefix/$pkglib/Quellio.html ]] || fail "help not installed in $pkglib"
# So do the tips of the day.
cmp -s "$source/res/tips.txt" "$build/bin/tips.txt" || fail "tips not copied into $build/bin"
cmp -s "$source/res/tips.txt" "$prefix/$pkglib/tips.txt" || fail "tips not installed in $pkglib"
# Every link inside the help leads somewhere.
help=$source/res/help/Quellio.html
while read -r anchor; do
    grep -q "id=\"$anchor\"" "$help" || fail "help link #$anchor has no target"
done < <(grep -o 'href="#[^"]*"' "$help" | sed 's/^href="#//; s/"$//' | sort -u)

wizard=$prefix/$pkglib/libwizard.so
if [[ -f $wizard ]]; then
    [[ $(nm -D --defined-only "$wizard" | awk '{print $NF}') == RunWizard ]] ||
        fail "libwizard.so exports more than RunWizard"
else
    fail "libwizard.so not installed in $pkglib"
fi

[[ -L $prefix/$bindir/quellio ]] || fail "no link to the program in $bindir"
[[ $(readlink -f "$prefix/$bindir/quellio") == $(readlink -f "$prefix/$pkglib/quellio") ]] ||
    fail "$bindir/quellio does not lead to $pkglib/quellio"
grep -qx "$prefix/$bindir/quellio" "$build/install_manifest.txt" ||
    fail "the link is missing from install_manifest.txt, so an uninstall would leave it"

# The native messaging host and its system-wide manifests, which a private prefix keeps
# inside itself; each names the installed bridge and allows our extension alone.
bridge=$prefix/$pkglib/quellio-bridge
[[ -x $bridge ]] || fail "quellio-bridge not installed in $pkglib"
for manifest in etc/chromium/native-messaging-hosts etc/opt/chrome/native-messaging-hosts \
    etc/opt/edge/native-messaging-hosts lib/mozilla/native-messaging-hosts; do
    file=$prefix/$manifest/io.github.quellio.bridge.json
    python3 -c 'import json, sys
m = json.load(open(sys.argv[1]))
allowed = m.get("allowed_origins", m.get("allowed_extensions"))
sys.exit(not (m["name"] == "io.github.quellio.bridge" and m["path"] == sys.argv[2]
              and m["type"] == "stdio" and len(allowed) == 1))' "$file" "$bridge" ||
        fail "$file missing or wrong"
    grep -qx "$file" "$build/install_manifest.txt" || fail "$file missing from install_manifest.txt"
done

# The companion extension, as the browsers take it: the unpacked folder the same as the
# source's, and the Firefox add-on with its id and the same script.
extension=$prefix/$datadir/quellio/browser-extension
diff -r "$source/browser-extension" "$extension" >/dev/null || fail "$extension differs from the source"
xpi=$prefix/$datadir/quellio/quellio-companion.xpi
python3 -c 'import json, sys, zipfile
with zipfile.ZipFile(sys.argv[1]) as z:
    m = json.loads(z.read("manifest.json"))
    same = z.read("background.js") == open(sys.argv[2], "rb").read()
sys.exit(not (same and m["browser_specific_settings"]["gecko"]["id"] == "companion@quellio.github.io"))' \
    "$xpi" "$source/browser-extension/background.js" || fail "$xpi missing or wrong"
for file in "$extension/manifest.json" "$xpi"; do
    grep -qx "$file" "$build/install_manifest.txt" || fail "$file missing from install_manifest.txt"
done

desktop=$prefix/$datadir/applications/$id.desktop
desktop-file-validate "$desktop" || fail "desktop entry invalid"
exec_name=$(sed -n 's/^Exec=\([^ ]*\).*/\1/p' "$desktop" || true)
[[ -n $exec_name && -x $prefix/$bindir/$exec_name ]] || fail "Exec=$exec_name is not an installed program"
icon=$(sed -n 's/^Icon=//p' "$desktop" || true)
[[ $icon == "$id" ]] || fail "Icon=$icon is not the application id"
compgen -G "$prefix/$datadir/icons/hicolor/*/apps/$icon.*" >/dev/null ||
    fail "no hicolor icon named $icon"

appstreamcli validate-tree --no-net "$root" || fail "AppStream metadata invalid"

((failures == 0)) && echo "install tree complete and valid"
exit $((failures > 0))
