#!/usr/bin/env bash
# Proves rigged projects in Blender: Debian's blender (3.4), headless, with
# its default glTF import and export settings, on the real Ross files in
# ../shared/real/ross (see scripts/blender_check.py for the four checks).
# Without ../shared the check is skipped, saying so. Installs Blender (and
# the numpy its glTF add-on needs) when missing; builds the converter into
# build/ when it is not there.
set -euo pipefail
cd "$(dirname "$0")/.."
real=../shared/real/ross
if [ ! -d "$real" ]; then
  echo "blender-check: skipped: $real is absent (the game's files are not part of this repository)"
  exit 0
fi

packages=(blender python3-numpy)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if ((${#missing[@]})); then
  sudo=""
  [ "$(id -u)" -eq 0 ] || sudo=sudo
  echo "blender-check: installing ${missing[*]}"
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

[ -x build/mervane-convert ] || bash scripts/build.sh build
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
log=$work/blender.log
status=0
blender -b --factory-startup --python-exit-code 1 --python scripts/blender_check.py -- \
  "$PWD/build/mervane-convert" "$(cd "$real" && pwd)" "$work" >"$log" 2>&1 || status=$?
# Blender's own chatter is left out; the checks' lines and any error stay.
grep -vE '^(Blender [0-9]|Read prefs|Data are loaded|glTF import finished|Blender quit|$)|^([0-9:]+ \| )?(INFO|ERROR: Draco mesh compression is not available)' "$log" || true
exit "$status"
