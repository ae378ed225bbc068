#!/usr/bin/env bash
# Builds the libFuzzer targets (the "fuzz" CMake preset: clang 14 with
# AddressSanitizer and UndefinedBehaviorSanitizer), replays every checked-in
# corpus input, then fuzzes each target for a bounded time.
#
#   scripts/fuzz.sh [SECONDS_PER_TARGET] [TARGET...]
#
# SECONDS_PER_TARGET defaults to 30 (0: replay only); TARGET is skn_fuzz, bmf_fuzz, project_fuzz,
# import_fuzz, far_fuzz, cmx_fuzz, bcf_fuzz, cfp_fuzz or gltf_fuzz (default: all nine). New inputs go to a temporary folder unless
# FUZZ_WORK names a folder to grow them in (one subfolder per target) across
# runs. Further libFuzzer flags can be given in FUZZ_FLAGS. A crash, hang,
# leak or sanitizer report ends the script with status 1 and leaves the input
# in build-fuzz/artifacts/TARGET/.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh

seconds=${1:-30}
shift || true
targets=("$@")
if ((${#targets[@]} == 0)); then targets=(skn_fuzz bmf_fuzz project_fuzz import_fuzz far_fuzz cmx_fuzz bcf_fuzz cfp_fuzz gltf_fuzz); fi

cmake --preset fuzz >/dev/null
cmake --build --preset fuzz -j"${FUZZ_BUILD_JOBS:-$(nproc)}"

# Logs and new inputs, on tmpfs when there is one.
scratch=$(mktemp -d -p /dev/shm 2>/dev/null || mktemp -d)
trap 'rm -rf "$scratch"' EXIT

for target in "${targets[@]}"; do
  corpus=tests/fuzz/corpus/${target%_fuzz}
  artifacts=build-fuzz/artifacts/$target
  mkdir -p "$artifacts"
  work=${FUZZ_WORK:+$FUZZ_WORK/$target}
  work=${work:-$scratch/$target}
  mkdir -p "$work"
  flags=(-timeout=10 -rss_limit_mb=2048 -malloc_limit_mb=128 -artifact_prefix="$artifacts/"
         -print_final_stats=1)

  echo "== $target: replaying $(ls "$corpus" | wc -l) corpus inputs"
  build-fuzz/$target "${flags[@]}" -runs=0 "$corpus" >"$scratch/$target.log" 2>&1 || {
    cat "$scratch/$target.log"; echo "$target fails on a corpus input"; exit 1; }

  # libFuzzer reads a time limit of 0 as none at all: 0 means replay only.
  if ((seconds == 0)); then continue; fi
  echo "== $target: fuzzing for ${seconds}s"
  # shellcheck disable=SC2086
  if ! build-fuzz/$target "${flags[@]}" -max_total_time="$seconds" ${FUZZ_FLAGS:-} \
      "$work" "$corpus" >"$scratch/$target.log" 2>&1; then
    tail -n 60 "$scratch/$target.log"
    echo "$target found a failure; its input is in $artifacts/"
    exit 1
  fi
  grep -E '^Done [0-9]+ runs|^stat::(number_of_executed_units|average_exec_per_sec|new_units_added|peak_rss_mb)' \
    "$scratch/$target.log"
done
