#!/usr/bin/env bash
# Installs what building and testing plc-config needs on Debian 12, when it is missing
# (qcoro-qt6-dev: C++20 coroutines on Qt's event loop, which every exchange with a PLC is
# written with; poppler-utils: the test of the printed sheet reads the PDF's text with pdftotext;
# python3 runs tools/include-cycles, the test that the source folders include one way only;
# ser2net is the serial device server the end-to-end tests and a benchmark put in front of
# plc-sim, run by them in the foreground, never as a service; qt6-serialbus-dev is the Modbus RTU
# master and slaves of plc-sim's simulated plant).
# "fuzz" adds clang and libFuzzer, for scripts/fuzz.sh; "package" what scripts/package.sh needs
# (dpkg-shlibdeps computes the package's dependencies; CPack finds programs with file);
# "screenshots" the X server scripts/screenshots.sh runs the window on.
set -euo pipefail

packages=(
    cmake ninja-build g++ pkg-config
    qt6-base-dev qt6-base-dev-tools qt6-serialport-dev qt6-serialbus-dev libgl-dev qcoro-qt6-dev
    qt6-qpa-plugins fonts-dejavu-core
    poppler-utils python3 ser2net
)
case "${1:-}" in
fuzz) packages+=(clang-14 libclang-rt-14-dev) ;;
package) packages+=(dpkg-dev file) ;;
screenshots) packages+=(xvfb xauth) ;;
esac
missing=()
for p in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "ok installed"; then
        missing+=("$p")
    fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
as_root=()
if [ "$(id -u)" -ne 0 ]; then
    command -v sudo >/dev/null || { echo "Please install as root: ${missing[*]}" >&2; exit 1; }
    as_root=(sudo)
fi
export DEBIAN_FRONTEND=noninteractive
"${as_root[@]}" apt-get update -qq
"${as_root[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
