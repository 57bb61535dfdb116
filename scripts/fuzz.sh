#!/usr/bin/env bash
# Runs one fuzz target with libFuzzer under AddressSanitizer and UndefinedBehaviorSanitizer:
#   scripts/fuzz.sh answer|project|ini|project_json|table_csv [SECONDS]   (default 1800 s, or 10 million runs)
# New inputs go to build-fuzz/corpus/TARGET, crashes to build-fuzz/crashes/; a crash's input
# belongs in fuzz/corpus/TARGET once its fault is fixed, so every test run replays it.
set -euo pipefail
cd "$(dirname "$0")/.."
target=${1:?usage: scripts/fuzz.sh answer|project|ini|project_json|table_csv [SECONDS]}
seconds=${2:-1800}
[ -d "fuzz/corpus/$target" ] || { echo "no fuzz target $target" >&2; exit 2; }

scripts/install-deps.sh fuzz
cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCMAKE_C_COMPILER=clang-14 -DCMAKE_CXX_COMPILER=clang++-14 \
    -DPLC_FUZZ=ON -DPLC_BUILD_BENCH=OFF >/dev/null
cmake --build build-fuzz -j 2 --target "fuzz_$target"

mkdir -p "build-fuzz/corpus/$target" build-fuzz/crashes
export ASAN_OPTIONS=detect_leaks=0:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
export QT_QPA_PLATFORM=offscreen
exec "build-fuzz/bin/fuzz_$target" -max_total_time="$seconds" -runs=10000000 \
    -print_final_stats=1 -artifact_prefix="build-fuzz/crashes/$target-" \
    "build-fuzz/corpus/$target" "fuzz/corpus/$target"
