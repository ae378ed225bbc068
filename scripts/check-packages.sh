#!/usr/bin/env bash
# Fails when the build uses a Debian package that scripts/packages.txt does
# not pull in through hard dependencies. A package that only happens to be
# on this machine (installed by hand, or as a recommend) would otherwise pass
# here and break the first build on a new machine.
#
# What "uses" means: every CMake package config that the configure step
# found (build/CMakeCache.txt), the tools and libraries on every link line,
# every shared library that the built programs and tests load (ldd), and the
# commands the scripts call.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
cache="$build/CMakeCache.txt"
[ -f "$cache" ] || { echo "check-packages: $cache is missing; build first" >&2; exit 2; }

used=()
add_file() { used+=("$1"); }

# Config files of find_package(... CONFIG).
while IFS= read -r dir; do
  for f in "$dir"/*Config.cmake "$dir"/*-config.cmake; do
    [ -f "$f" ] && add_file "$f"
  done
done < <(sed -n 's/^[A-Za-z0-9_]*_DIR:PATH=//p' "$cache")

# Compilers, archivers and libraries that the link lines name. Optional
# finds that nothing links (FindOpenGL's EGL, say) are not counted.
while IFS= read -r f; do
  [ -f "$f" ] && add_file "$f"
done < <(find "$build" -name link.txt -exec cat {} + | tr ' ' '\n' | grep '^/' | sort -u)

# Shared libraries of every program and test that was built.
while IFS= read -r exe; do
  while IFS= read -r lib; do
    add_file "$lib"
  done < <(ldd "$exe" 2>/dev/null | awk '$2 == "=>" && $3 ~ /^\// { print $3 } $1 ~ /^\// { print $1 }')
done < <(find "$build" -type f -perm -u+x ! -name '*.so*' -exec sh -c 'head -c4 "$1" | grep -q ELF' _ {} \; -print)

# Commands the scripts run.
for cmd in cmake ctest xvfb-run Xvfb xauth clang++-14; do
  path=$(command -v "$cmd") || { echo "check-packages: command $cmd not found" >&2; exit 1; }
  add_file "$path"
done

# Map each file to the package that owns it. Debian 12 merges /lib into
# /usr/lib, but dpkg may know a file under either name, or only its target.
owner() {
  local f=$1 candidates=("$1") real
  real=$(readlink -f "$f")
  candidates+=("$real")
  for c in "$f" "$real"; do
    case $c in
      /usr/lib/*) candidates+=("${c#/usr}") ;;
      /lib/*) candidates+=("/usr$c") ;;
      /usr/bin/*) candidates+=("${c#/usr}") ;;
      /bin/*) candidates+=("/usr$c") ;;
    esac
  done
  for c in "${candidates[@]}"; do
    if out=$(dpkg-query -S "$c" 2>/dev/null | grep -v '^diversion' | head -1); then
      [ -n "$out" ] && { echo "${out%%: *}" | tr ',' '\n' | sed 's/^ *//; s/:.*//'; return 0; }
    fi
  done
  return 1
}

declare -A needed=()
unowned=()
mapfile -t used < <(printf '%s\n' "${used[@]}" | sort -u)
for f in "${used[@]}"; do
  if pkgs=$(owner "$f"); then
    for p in $pkgs; do needed[$p]+="$f "; done
  else
    unowned+=("$f")
  fi
done

mapfile -t listed < <(grep -v '^\s*\(#\|$\)' scripts/packages.txt)
mapfile -t closure < <(apt-cache depends --recurse --no-recommends --no-suggests \
    --no-conflicts --no-breaks --no-replaces --no-enhances "${listed[@]}" \
  | grep -v '^ ' | sed 's/:.*//' | sort -u)
declare -A pulled=()
for p in "${closure[@]}"; do pulled[$p]=1; done

status=0
for p in "${!needed[@]}"; do
  if [ -z "${pulled[$p]:-}" ]; then
    echo "check-packages: $p is used (${needed[$p]% }) but scripts/packages.txt does not pull it in" >&2
    status=1
  fi
done
for f in "${unowned[@]}"; do
  echo "check-packages: $f belongs to no Debian package" >&2
  status=1
done
if [ $status -eq 0 ]; then
  echo "check-packages: all ${#needed[@]} packages the build uses come from scripts/packages.txt"
fi
exit $status
