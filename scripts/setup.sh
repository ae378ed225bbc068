#!/usr/bin/env bash
# Installs the Debian packages listed in scripts/packages.txt, and only
# those that are missing.
set -euo pipefail
cd "$(dirname "$0")"

mapfile -t packages < <(grep -v '^\s*\(#\|$\)' packages.txt)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if ((${#missing[@]})); then
  sudo=""
  if [ "$(id -u)" -ne 0 ]; then sudo=sudo; fi
  echo "Installing: ${missing[*]}"
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
