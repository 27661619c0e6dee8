#!/usr/bin/env bash
# Event-loop latency of the OBS and vMix clients while vMix stalls (accepts,
# never answers) and OBS stays silent, both on 127.0.0.1.
#
#   bench/switchers/run.sh [seconds]      (default 20)
#
# Builds the bench program (RelWithDebInfo, in build-bench/) and runs it;
# prints the 5 ms probe timer's lateness percentiles. Exit status 1 when p99
# reaches 16 ms.
set -euo pipefail

ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
BUILD="${BENCH_BUILD_DIR:-$ROOT/build-bench}"

"$ROOT/scripts/install-deps.sh"
cmake -S "$ROOT" -B "$BUILD" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCORVANTA_BUILD_TESTS=OFF >/dev/null
cmake --build "$BUILD" -j "$(nproc)" --target corvanta_switchers_bench >/dev/null

QT_QPA_PLATFORM=offscreen "$BUILD/bench/switchers/corvanta_switchers_bench" "${1:-20}"
