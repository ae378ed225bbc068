#!/usr/bin/env bash
# Installs what is missing, builds, and starts Mervane on the bundled example.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
bash scripts/build.sh build
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  echo "No display to show the window on; here is the converter on the example instead."
  ./build/mervane-convert --info examples/mannequin.skn
  exit 0
fi
exec ./build/mervane examples/mannequin.skn
