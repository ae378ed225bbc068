#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test: once in a release
# build, then the fuzz corpora replayed and each reader fuzzed for
# FUZZ_SECONDS (30), then the tests again under AddressSanitizer and
# UndefinedBehaviorSanitizer (with the standard library's own checks).
#
#   bash scripts/test.sh           everything, as CI runs it
#   bash scripts/test.sh --quick   the release build and its tests only: the
#                                  inner loop while working
set -euo pipefail
cd "$(dirname "$0")/.."
quick=false
case ${1:-} in
  --quick) quick=true ;;
  "") ;;
  *) echo "usage: bash scripts/test.sh [--quick]" >&2; exit 2 ;;
esac
bash scripts/setup.sh
jobs=$(nproc)

echo "== Release build and tests"
bash scripts/build.sh build
# A package the build uses but setup does not install would break a new
# machine while passing here; catch it now.
bash scripts/check-packages.sh build
ctest --test-dir build --output-on-failure -j"$jobs"
if $quick; then exit 0; fi

echo "== Fuzz targets (clang, ASan + UBSan): corpus replay and a bounded run each"
bash scripts/fuzz.sh "${FUZZ_SECONDS:-30}"

# The sanitizer run comes last, so that its summary closes the output.
echo "== Sanitizer build (ASan + UBSan) and tests"
bash scripts/build.sh build-asan -DMERVANE_SANITIZE=ON -DMERVANE_BENCH=OFF -DCMAKE_BUILD_TYPE=Debug
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
  ctest --test-dir build-asan --output-on-failure -j"$jobs"
