#!/usr/bin/env bash
# End-to-end conversion speed of the maximum-size skin, as ratios measured in
# one run on this machine: Mervane's converter against a general-purpose mesh
# tool doing comparable work (assimp exporting the same .obj to .obj) and
# against copying the bytes. Beside them, the conversions' file work alone
# (build/io_floor: the same reads and flushed, renamed writes without the
# conversion), which faster parsing and formatting cannot win back. Then a
# batch of typical skins in one call against a shell loop of single
# conversions, and the peak memory of each conversion.
# Installs assimp-utils and time when missing; needs a Release build in
# build/ (bash scripts/build.sh build).
#   bash bench/compare.sh [RUNS]
set -euo pipefail
cd "$(dirname "$0")/.."
runs=${1:-9}
for p in assimp-utils time; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" ||
    DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "$p" >/dev/null
done
convert=${MERVANE_CONVERT:-build/mervane-convert}  # another build of it may be compared
[ -x "$convert" ] && [ -x build/make_skins ] && [ -x build/io_floor ] || { echo "build first: bash scripts/build.sh build" >&2; exit 2; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

build/make_skins max "$work/max.skn"
"$convert" "$work/max.skn" "$work/max.spj"

# Median wall time of a command over $runs runs, in milliseconds. Before
# each run the folder $fresh (if set) is removed and the disk is flushed, so
# that no run waits on an earlier one's writes.
median_ms() {
  local times=()
  for ((i = 0; i < runs; i++)); do
    local start end
    [ -n "${fresh:-}" ] && rm -rf "$fresh"
    sync
    start=$(date +%s%N)
    "$@" >/dev/null 2>&1
    end=$(date +%s%N)
    times+=($(((end - start) / 1000)))
  done
  printf '%s\n' "${times[@]}" | sort -n | awk '{ t[NR] = $1 } END { printf "%.2f", t[int((NR + 1) / 2)] / 1000 }'
}

# Peak resident memory of a command, in kB.
peak_kb() { /usr/bin/time -f %M "$@" 2>&1 >/dev/null | tail -1; }

skn_to_spj=$(median_ms "$convert" "$work/max.skn" "$work/out.spj")
spj_to_skn=$(median_ms "$convert" "$work/max.spj" "$work/out.skn")
assimp=$(median_ms assimp export "$work/max.obj" "$work/assimp.obj")
copy=$(median_ms cp "$work/max.obj" "$work/copy.obj")
# The same reads and flushed, renamed writes without the conversion between.
mkdir "$work/floor"
floor_to_spj=$(median_ms build/io_floor "$work/floor" "$work/max.skn" -- "$work/max.spj" "$work/max.obj" "$work/max.mtl")
floor_to_skn=$(median_ms build/io_floor "$work/floor" "$work/max.spj" "$work/max.obj" -- "$work/max.skn")

bytes() { stat -c %s "$@" | awk '{ s += $1 } END { print s }'; }
skn_bytes=$(bytes "$work/max.skn")
project_bytes=$(bytes "$work/max.spj" "$work/max.obj" "$work/max.mtl")
peak_to_spj=$(peak_kb "$convert" "$work/max.skn" "$work/out.spj")
peak_to_skn=$(peak_kb "$convert" "$work/max.spj" "$work/out.skn")

echo "Maximum-size skin: $skn_bytes bytes as .skn, $project_bytes bytes as a project; median of $runs runs"
printf '%-28s %8s ms\n' ".skn -> .spj" "$skn_to_spj" ".spj -> .skn" "$spj_to_skn" \
  "assimp export .obj -> .obj" "$assimp" "cp of the .obj" "$copy" \
  "file work of .skn -> .spj" "$floor_to_spj" "file work of .spj -> .skn" "$floor_to_skn"
awk -v a="$skn_to_spj" -v b="$spj_to_skn" -v x="$assimp" -v c="$copy" 'BEGIN {
  printf "assimp / (.skn -> .spj) = %.1fx, assimp / (.spj -> .skn) = %.1fx  (goal: 10x or more)\n", x / a, x / b
  printf "(.skn -> .spj) / cp = %.1fx, (.spj -> .skn) / cp = %.1fx  (goal: 5x or less)\n", a / c, b / c
}'
# The file work is what parsing and formatting cannot win back: what the
# 10x goal leaves for them, against what they take now.
awk -v a="$skn_to_spj" -v b="$spj_to_skn" -v x="$assimp" -v fa="$floor_to_spj" -v fb="$floor_to_skn" 'BEGIN {
  printf "converting beyond the file work: .skn -> .spj %.2f ms, .spj -> .skn %.2f ms; the 10x goal leaves %.2f ms and %.2f ms\n", a - fa, b - fb, x / 10 - fa, x / 10 - fb
}'
awk -v p1="$peak_to_spj" -v p2="$peak_to_skn" -v s="$skn_bytes" -v p="$project_bytes" 'BEGIN {
  io = (s + p) / 1024
  printf "peak RSS: .skn -> .spj %d kB (%.1fx the bytes read and written), .spj -> .skn %d kB (%.1fx)  (goal: 3x or less)\n", p1, p1 / io, p2, p2 / io
}'

build/make_skins typical "$work/typical" 1000
if "$convert" --help | grep -q -- '--to'; then
  to=bmf
  "$convert" --help | grep -q '\.bmf' || to=skn
  batch=$(fresh="$work/batch" median_ms "$convert" --to "$to" --out "$work/batch" "$work/typical")
  echo "1000 typical skins (.skn -> .$to) in one call: $batch ms  (goal: under 500 ms)"
fi
loop() { for f in "$work"/typical/*.skn; do "$convert" "$f" "$work/loop.skn"; done; }
runs=1 loop_ms=$(median_ms loop)
echo "the same as a shell loop of single conversions (.skn -> .skn): $loop_ms ms"
