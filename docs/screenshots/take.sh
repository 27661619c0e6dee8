#!/usr/bin/env bash
# Regenerates docs/screenshot-compact.png, docs/screenshot-advanced.png,
# docs/screenshot-tally.png and docs/screenshot-tally-setting.png from the
# real window under Xvfb. Usage: docs/screenshots/take.sh [build folder]
set -euo pipefail
root="$(cd "$(dirname "$0")/../.." && pwd)"
build="${1:-$root/build}"
cmake -S "$root" -B "$build" >/dev/null
cmake --build "$build" -j2 --target panel_screenshots >/dev/null
QT_QPA_PLATFORM=xcb xvfb-run -a -s "-screen 0 1600x1200x24" \
    "$build/tests/ui/panel_screenshots" "$root/docs"
