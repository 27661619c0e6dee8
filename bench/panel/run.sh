#!/usr/bin/env bash
# Panel latency on loopback.
#
#   bench/panel/run.sh [presses]      (default 1000)
#
# Builds the panel benchmark (RelWithDebInfo, in build-bench/) and runs it on
# the offscreen platform: button press to VISCA bytes at a camera simulator on
# 127.0.0.1, over TCP and over VISCA over IP on UDP (p50/p99, goal p99 < 1 ms), then start-up to the main window shown
# (goal < 500 ms).
set -euo pipefail

ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
BUILD="${BENCH_BUILD_DIR:-$ROOT/build-bench}"

"$ROOT/scripts/install-deps.sh"
cmake -S "$ROOT" -B "$BUILD" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCORVANTA_BUILD_TESTS=OFF >/dev/null
cmake --build "$BUILD" -j "$(nproc)" --target corvanta_panel_bench >/dev/null

QT_QPA_PLATFORM=offscreen QT_LOGGING_RULES="corvanta.*=false" \
    "$BUILD/bench/panel/corvanta_panel_bench" "${1:-1000}"
