#!/usr/bin/env bash
# Regenerates the panel's PNG images in this folder from src/paintassets.cpp:
# button sprites (44 x 132, three 44 x 44 frames: normal, hover, pressed), the
# preview button sprite tv.png (30 x 90), the logo corvanta1.png and the two
# help charts xbox.png (800 x 720) and hotkey.png (720 x 540), and the map box
# checker pattern transback.png (16 x 16) and the web server dialog's copy
# button copybtn.png (24 x 24).
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
build="$(mktemp -d)"
trap 'rm -rf "$build"' EXIT
cmake -S "$here/src" -B "$build" -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$build" -j2 >/dev/null
QT_QPA_PLATFORM=offscreen "$build/paintassets" "$here"
