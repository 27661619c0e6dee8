#!/usr/bin/env bash
# Joystick layer benchmarks, no hardware needed.
#
#   bench/input/run.sh [idle-seconds] [latency-events]     (default 10, 1000)
#
# Builds bench/input's program (RelWithDebInfo, in build-bench/), then
#  1. idle: the layer with no controller attached (it then polls SDL every
#     100 ms, every 10 ms once one is plugged); prints the CPU used as a
#     percentage of one core (goal < 0.5 %);
#  2. latency: an SDL virtual joystick's right stick stepped through rest,
#     right, rest, left at irregular moments; prints percentiles of the time
#     from the change to the mapper's move/stop call (goal p99 <= 10 ms, one
#     poll period);
#  3. camera: the same stick changes through the panel (main window, control
#     layer, network camera) to the VISCA drive bytes arriving at a camera
#     simulator on 127.0.0.1 (goal p99 <= 10 ms).
set -euo pipefail

ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
BUILD="${BENCH_BUILD_DIR:-$ROOT/build-bench}"
IDLE_SECONDS="${1:-10}"
EVENTS="${2:-1000}"

"$ROOT/scripts/install-deps.sh"
cmake -S "$ROOT" -B "$BUILD" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCORVANTA_BUILD_TESTS=OFF >/dev/null
cmake --build "$BUILD" -j "$(nproc)" --target corvanta_input_bench >/dev/null

DATA="$(mktemp -d)"
trap 'rm -rf "$DATA"' EXIT
export XDG_DATA_HOME="$DATA" XDG_CONFIG_HOME="$DATA" QT_QPA_PLATFORM=offscreen

"$BUILD/bench/input/corvanta_input_bench" idle "$IDLE_SECONDS"
"$BUILD/bench/input/corvanta_input_bench" latency "$EVENTS"
"$BUILD/bench/input/corvanta_input_bench" camera "$EVENTS"
