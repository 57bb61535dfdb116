#!/usr/bin/env bash
# Builds the Debian package plc-config_VERSION_ARCH.deb in build-package/: a Release build for
# /usr with Debian's hardening flags, packed by CPack. Prints the package's path last.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh package

export DEB_BUILD_MAINT_OPTIONS=hardening=+all
CXXFLAGS="$(dpkg-buildflags --get CXXFLAGS) $(dpkg-buildflags --get CPPFLAGS)"
LDFLAGS="$(dpkg-buildflags --get LDFLAGS)"
export CXXFLAGS LDFLAGS
cmake -S . -B build-package -G Ninja -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX=/usr \
    -DPLC_BUILD_TESTS=OFF -DPLC_BUILD_BENCH=OFF >/dev/null
cmake --build build-package -j 2
rm -f build-package/plc-config_*.deb
(cd build-package && cpack -G DEB >/dev/null)
ls "$PWD"/build-package/plc-config_*.deb
