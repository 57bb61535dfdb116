#!/usr/bin/env bash
# Remakes the README's pictures of the window, docs/*.png: plc-screenshots opens the window on
# plc-sim --demo under Xvfb, on a screen of a fixed size (1100x720) that the window fills, and
# takes each picture there. Builds in build/, as ./run does. Look at every picture before
# committing it.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh screenshots
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DPLC_BUILD_TESTS=OFF >/dev/null
cmake --build build -j 2 --target plc-screenshots plc-sim
mkdir -p docs
xvfb-run -a -s "-screen 0 1100x720x24" build/bin/plc-screenshots docs
