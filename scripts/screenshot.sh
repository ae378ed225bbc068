#!/usr/bin/env bash
# Draws docs/screenshot.png: the main window after starting the program with
# a skin (examples/mannequin.skn unless another is given) and choosing
# File > Open, on a virtual X server. Builds into build/ if needed.
set -euo pipefail
cd "$(dirname "$0")/.."
skin=${1:-examples/mannequin.skn}
out=${2:-docs/screenshot.png}
build=${BUILD_DIR:-build}

if [ ! -x "$build/mervane-screenshot" ]; then
  cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release >/dev/null
  cmake --build "$build" -j"$(nproc)" --target mervane-screenshot
fi
mkdir -p "$(dirname "$out")"
QT_QPA_PLATFORM=xcb xvfb-run -a -s "-screen 0 1024x768x24" \
  "$build/mervane-screenshot" "$skin" "$out"
echo "wrote $out"
