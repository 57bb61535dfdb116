#!/usr/bin/env bash
# Checks the Debian package scripts/package.sh built, on this machine, as root:
#   1. validates its desktop entry (desktop-file-validate) and AppStream metadata (appstreamcli),
#      and runs lintian on it (errors fail, warnings are shown);
#   2. installs it with apt-get, which brings what it depends on;
#   3. runs the installed programs: --version, show on an example, a write and an upload against
#      the installed plc-sim, the converter (conv from the installed library folder), the window
#      offscreen for a moment;
#   4. removes it and whatever its installation brought, and checks that the machine's packages
#      and files are as they were.
# Usage: scripts/package-check.sh [PACKAGE.deb]   (default: build-package/plc-config_*.deb)
set -euo pipefail
cd "$(dirname "$0")/.."
deb=$(realpath "${1:-$(ls build-package/plc-config_*.deb)}")

as_root=()
if [ "$(id -u)" -ne 0 ]; then
    command -v sudo >/dev/null || { echo "Run as root or install sudo" >&2; exit 1; }
    as_root=(sudo)
fi
export DEBIAN_FRONTEND=noninteractive
tools=(desktop-file-utils appstream lintian)
missing=()
for p in "${tools[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
    "${as_root[@]}" apt-get update -qq
    "${as_root[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi

work=$(mktemp -d)
sim_pid=
installed=
packages_before=$work/packages-before
dpkg-query -W -f='${Package}\n' | sort >"$packages_before"
remove_package() {
    [ -n "$sim_pid" ] && kill "$sim_pid" 2>/dev/null && wait "$sim_pid" 2>/dev/null
    sim_pid=
    if [ -n "$installed" ]; then
        # The package, then whatever its installation brought.
        "${as_root[@]}" apt-get purge -y -qq plc-config >/dev/null
        brought=$(comm -13 "$packages_before" <(dpkg-query -W -f='${Package}\n' | sort))
        [ -z "$brought" ] || "${as_root[@]}" apt-get purge -y -qq $brought >/dev/null
        installed=
    fi
}
cleanup() {
    remove_package
    rm -rf "$work"
}
trap cleanup EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

echo "== $deb"
dpkg-deb --field "$deb"
version=$(dpkg-deb --field "$deb" Version)

echo "== desktop entry, AppStream metadata, lintian"
dpkg-deb --extract "$deb" "$work/tree"
desktop-file-validate "$work/tree/usr/share/applications/plc-config.desktop"
appstreamcli validate --no-net "$work"/tree/usr/share/metainfo/*.metainfo.xml
grep -q "version=\"$version\"" "$work"/tree/usr/share/metainfo/*.metainfo.xml ||
    fail "the AppStream metadata does not name version $version"
lintian --fail-on error --display-info "$deb"

echo "== install"
"${as_root[@]}" apt-get install -y -qq --no-install-recommends "$deb" >/dev/null
installed=yes
[ "$(command -v plc-config)" = /usr/bin/plc-config ] || fail "plc-config is not /usr/bin/plc-config"

echo "== the installed programs"
# A home of its own: nothing the programs write stays behind.
export HOME=$work/home QT_QPA_PLATFORM=offscreen
mkdir -p "$HOME"
[ "$(plc-config --version)" = "plc-config $version" ] || fail "plc-config --version: $(plc-config --version)"
[ "$(plc-sim --version)" = "plc-sim $version" ] || fail "plc-sim --version: $(plc-sim --version)"
plc-config show examples/two-masters.dpc >"$work/show.txt"
grep -q "Modbus master" "$work/show.txt" || fail "show: $(cat "$work/show.txt")"
[ "$(plc-config to-ieee 1.5)" = 3FC00000 ] || fail "to-ieee 1.5 (conv from /usr/lib)"

plc-sim --link "$work/plc" --plant /usr/share/plc-config/examples/plant.json >"$work/sim.out" 2>&1 &
sim_pid=$!
for _ in $(seq 50); do [ -e "$work/plc" ] && break; sleep 0.1; done
[ -e "$work/plc" ] || fail "plc-sim did not start: $(cat "$work/sim.out")"
plc() { plc-config --config-dir "$work" --port "$work/plc" "$@"; }
plc write examples/two-masters.dpc
plc upload "$work/uploaded.dpc"
plc-config show "$work/uploaded.dpc" | grep -q "Modbus master" || fail "the upload is not the project"
# The installed plant behind the PLC: its missing slave 2 times out once the polling came round.
for _ in $(seq 50); do
    plc diag uart1 >"$work/diag.txt" && grep -q "^2.*timeout error occurred" "$work/diag.txt" && break
    sleep 0.2
done
grep -q "^2.*timeout error occurred" "$work/diag.txt" || fail "diag uart1 on the plant: $(cat "$work/diag.txt")"

# The window starts and keeps running until it is stopped.
status=0
timeout 3 plc-config --demo >/dev/null 2>&1 || status=$?
[ "$status" = 124 ] || fail "the window ended with status $status"
[ ! -e /usr/bin/set.ini ] || fail "set.ini was written beside the installed program"

echo "== remove"
remove_package
diff <(cat "$packages_before") <(dpkg-query -W -f='${Package}\n' | sort) ||
    fail "the machine's packages are not as they were"
for path in /usr/bin/plc-config /usr/bin/plc-sim /usr/share/applications/plc-config.desktop; do
    [ ! -e "$path" ] || fail "$path is still there"
done
ls -d /usr/lib/*/plc-config 2>/dev/null && fail "the library folder is still there"
echo "The package installs, works and goes away cleanly."
