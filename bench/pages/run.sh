#!/usr/bin/env bash
# Browser page benchmark on loopback (needs /usr/bin/chromium):
#
#   bench/pages/run.sh [loads-per-view] [poll-seconds]     (defaults 10 and 10)
#
# Builds bench/pages (RelWithDebInfo, in build-bench/) and prints, for the
# full, camera and switcher view, the time from navigation until the page has
# loaded every file from the server and shown the first answers of its polls,
# once with an empty browser cache (goal: < 300 ms) and once as a reload of
# that page (goals: < 150 ms, < 20 KB), with the bytes on the wire and the
# requests the server received; then the API requests per second that 1, 4
# and 16 open pages cause and the CPU time the server process spends on them.
# Server and browser share the machine, so the numbers include the browser's
# own work.
set -euo pipefail

ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
BUILD="${BENCH_BUILD_DIR:-$ROOT/build-bench}"

"$ROOT/scripts/install-deps.sh"
cmake -S "$ROOT" -B "$BUILD" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCORVANTA_BUILD_TESTS=OFF >/dev/null
cmake --build "$BUILD" -j "$(nproc)" --target corvanta_pages_bench >/dev/null

DATA="$(mktemp -d)"
trap 'rm -rf "$DATA"' EXIT
XDG_DATA_HOME="$DATA" QT_QPA_PLATFORM=offscreen \
    "$BUILD/bench/pages/corvanta_pages_bench" "${1:-10}" "${2:-10}" 2>/dev/null
