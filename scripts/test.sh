#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test: once in a release
# build, once under AddressSanitizer and UndefinedBehaviorSanitizer; then
# replays the fuzz corpora and fuzzes each reader for FUZZ_SECONDS (30).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
jobs=$(nproc)

echo "== Release build and tests"
bash scripts/build.sh build
ctest --test-dir build --output-on-failure -j"$jobs"

echo "== Sanitizer build (ASan + UBSan) and tests"
bash scripts/build.sh build-asan -DMERVANE_SANITIZE=ON -DMERVANE_BENCH=OFF -DCMAKE_BUILD_TYPE=Debug
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
  ctest --test-dir build-asan --output-on-failure -j"$jobs"

echo "== Fuzz targets (clang, ASan + UBSan): corpus replay and a bounded run each"
bash scripts/fuzz.sh "${FUZZ_SECONDS:-30}"
