#!/usr/bin/env bash
# Builds the Debian package of a build, checks it with lintian, installs it into this machine
# with apt, finds the programs and the menu entry where the package says, starts the installed
# program on a private X server and sees its windows, then purges the package and checks that
# none of its files stays. The machine is left as it was, also when a step fails: the package
# is purged, and a quellio installed before is installed again (from the package just built).
# Needs root; exits 77 (skipped) without it.
# usage: check-package.sh BUILD_DIR VERSION
set -euo pipefail
build=$1 version=$2
here=$(cd "$(dirname "$0")" && pwd)

if ((EUID != 0)); then
    echo "SKIPPED: installing the package into the machine needs root"
    exit 77
fi

# One run at a time on the machine, whichever build it comes from: each installs and purges
# the same package.
exec {lock}>/tmp/quellio-package-test.lock
flock "$lock"

tmp=$(mktemp -d -t quellio-package-XXXXXX)
# apt reads the package as its own unprivileged user.
chmod 755 "$tmp"
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
status() { dpkg-query -W -f='${db:Status-Status}' quellio 2>/dev/null || echo not-installed; }
apt_get() {
    DEBIAN_FRONTEND=noninteractive apt-get -y -qq -o Dpkg::Use-Pty=0 -o DPkg::Lock::Timeout=600 \
        "$@" >>"$tmp/apt.log" 2>&1
}

previous=""
[[ $(status) == installed ]] && previous=$(dpkg-query -W -f='${Version}' quellio)
touched=false
deb=""
# shellcheck disable=SC2317 # run by the trap
cleanup() {
    if $touched && [[ $(status) != not-installed ]]; then
        apt_get purge quellio || echo "could not purge quellio"
    fi
    if [[ -n $previous && $(status) == not-installed ]]; then
        echo "quellio $previous was installed before: the package just built takes its place"
        apt_get install --no-install-recommends --allow-downgrades "$deb" ||
            echo "could not install quellio again"
    fi
    rm -rf "$tmp"
}
trap cleanup EXIT

# The package, named after the version and the machine's architecture, with the
# dependencies read from its binaries.
cpack --config "$build/CPackConfig.cmake" -B "$tmp/out" >"$tmp/cpack.log" 2>&1 ||
    { cat "$tmp/cpack.log"; fail "cpack failed"; exit 1; }
deb=$tmp/out/quellio_${version}_$(dpkg --print-architecture).deb
[[ -f $deb ]] || { ls "$tmp/out"; fail "no package named $(basename "$deb")"; exit 1; }
[[ $(dpkg-deb -f "$deb" Version) == "$version" ]] || fail "the package's version is not $version"
depends=$(dpkg-deb -f "$deb" Depends)
[[ $depends == *libc6* && $depends == *libqt6widgets6* ]] ||
    fail "the dependencies were not read from the binaries: Depends: $depends"
lintian --fail-on error,warning "$deb" || fail "lintian reports errors or warnings"

touched=true
if [[ -n $previous ]]; then
    apt_get purge quellio ||
        { cat "$tmp/apt.log"; fail "could not purge the quellio installed before"; exit 1; }
fi
apt_get install --no-install-recommends "$deb" ||
    { cat "$tmp/apt.log"; fail "apt could not install $deb"; exit 1; }
mapfile -t listed < <(dpkg -L quellio)
printf '%s\n' "${listed[@]}" >"$tmp/listed"

for path in /usr/bin/quellio /usr/bin/quellio-browser \
    /usr/share/applications/io.github.quellio.Quellio.desktop; do
    grep -qx "$path" "$tmp/listed" || fail "$path is not in the package"
    [[ -e $path ]] || fail "$path is not installed"
done
exec_name=$(sed -n 's/^Exec=\([^ ]*\).*/\1/p' /usr/share/applications/io.github.quellio.Quellio.desktop)
grep -qx "/usr/bin/$exec_name" "$tmp/listed" ||
    fail "the menu entry starts $exec_name, which the package lacks"
# Each host manifest names the bridge where the package put it, not where it was staged.
while read -r manifest; do
    bridge=$(python3 -c 'import json, sys; print(json.load(open(sys.argv[1]))["path"])' \
        "$manifest") || bridge=""
    { grep -qx "$bridge" "$tmp/listed" && [[ -x $bridge ]]; } ||
        fail "$manifest names $bridge, which is not installed"
done < <(grep '/native-messaging-hosts/.*\.json$' "$tmp/listed")
(($(grep -c '/native-messaging-hosts/.*\.json$' "$tmp/listed") >= 3)) || fail "host manifests missing"

# The installed program, started as a user starts it: the first start loads the wizard from
# the program's folder, later starts show the main window.
# usage: run NAME SETTINGS PATTERN PROGRAM, in a home of its own with the registry file SETTINGS
run() {
    local home=$tmp/home-$1 settings=$2
    shift 2
    mkdir -p "$home/config/Quellio" "$home/run"
    chmod 700 "$home/run"
    [[ -z $settings ]] || printf '%s\n' "$settings" >"$home/config/Quellio/registry.reg"
    printf '[Tip]\nStartUp=1\n' >"$home/config/quellio.ini"
    HOME=$home XDG_CONFIG_HOME=$home/config XDG_DATA_HOME=$home/data XDG_CACHE_HOME=$home/cache \
        XDG_STATE_HOME=$home/state XDG_RUNTIME_DIR=$home/run \
        xvfb-run -a -s "-screen 0 1024x768x24 -nolisten tcp" "$here/shows-window.sh" "$@"
}
run first "" '^Quellio$' /usr/bin/quellio || fail "the first start shows no wizard"
wizard_seen=$'REGEDIT4\n\n[HKEY_LOCAL_MACHINE\\Software\\hollin\\QLIO\\wizard]\n'
wizard_seen+='"first"=dword:00000001'
run later "$wizard_seen" '^Quellio [0-9.]+$' /usr/bin/quellio ||
    fail "the installed program shows no main window"

apt_get purge quellio || { cat "$tmp/apt.log"; fail "apt could not purge quellio"; exit 1; }
[[ $(status) == not-installed ]] || fail "quellio is still known to dpkg after the purge"
for path in "${listed[@]}"; do
    # Shared folders such as /usr/bin stay; the package's own go.
    if [[ -L $path || -f $path ]] || [[ -d $path && $path == *quellio* ]]; then
        fail "$path stays after the purge"
    fi
done

((failures == 0)) && echo "the package of ${#listed[@]} paths installs, runs and purges cleanly"
exit $((failures > 0))
