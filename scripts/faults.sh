#!/usr/bin/env bash
# Plants the faults of a list one at a time in a scratch copy of the
# checkout, builds, runs the tests, and reports each fault they let pass.
#
# Not part of CI: it builds once per fault and takes long. Run it before
# resolving an issue that touches a reader or a rule, and grow the list by
# three to five faults with each new reader or rule.
#
#   scripts/faults.sh [LIST] [--only N[,N...]] [--check]
#
# LIST defaults to tests/faults.txt (its header describes the format).
# --only plants just the faults of those numbers (blocks counted from 1).
# --check only parses the list and checks that each find text occurs exactly
# once in the checkout: no copy, no build.
#
# The copy is ${FAULTS_DIR:-/tmp/mervane-faults}/main, beside a link "shared"
# to the checkout's ../shared (the tests read sample files through it). It
# keeps its build between runs; the working tree is never written to. Build
# and test logs go to $FAULTS_DIR/logs.
#
# With FAULTS_LOCK set to a file, each build and test run holds a flock on
# it, so that other builds on the machine take turns with the planted ones.
#
# Exit status: 0 when every fault was caught, 1 when one survived or an entry
# is broken (or the unplanted copy is not green), 2 for a usage error.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)

usage() {
  echo "usage: bash scripts/faults.sh [LIST] [--only N[,N...]] [--check]" >&2
  exit 2
}

list="" only="" check=false
while (($#)); do
  case $1 in
    --only) (($# >= 2)) || usage; only=$2; shift 2 ;;
    --only=*) only=${1#--only=}; shift ;;
    --check) check=true; shift ;;
    -h | --help) usage ;;
    -*) usage ;;
    *) [[ -z $list ]] || usage; list=$1; shift ;;
  esac
done
list=${list:-$root/tests/faults.txt}
[[ -f $list ]] || { echo "no fault list $list" >&2; exit 2; }
list=$(realpath "$list")
[[ -z $only || $only =~ ^[0-9]+(,[0-9]+)*$ ]] || usage

# Parsing, the exact replacement and the copy in Python: bash has no literal
# (non-pattern) replace, and comparing file contents keeps mtimes honest.
helper='
import os, shutil, sys

KEYS = ("file", "find", "replace", "breaks")

def parse(path):
    blocks, block = [], None
    for line in open(path, encoding="utf-8").read().splitlines():
        if line.startswith("#"):
            continue
        if not line.strip():
            block = None
            continue
        if block is None:
            block = []
            blocks.append(block)
        block.append(line)
    entries = []
    for number, lines in enumerate(blocks, 1):
        fields, problem = {}, ""
        for line in lines:
            key, colon, value = line.partition(":")
            if not colon or key not in KEYS:
                problem = problem or "a line with no known key: " + line[:40]
            elif key in fields:
                problem = problem or key + " given twice"
            else:
                fields[key] = value.strip()
        missing = [key for key in KEYS if key not in fields]
        if missing and not problem:
            problem = "no " + ", ".join(missing)
        entries.append((number, fields, problem))
    return entries

def problem_in(root, fields):
    name = fields["file"]
    if os.path.isabs(name) or ".." in name.split("/"):
        return "the file is not inside the checkout"
    path = os.path.join(root, name)
    if not os.path.isfile(path):
        return "no file " + name
    if not fields["find"]:
        return "the find text is empty"
    if fields["find"] == fields["replace"]:
        return "the replacement is the find text"
    count = open(path, "rb").read().count(fields["find"].encode())
    return "" if count == 1 else "the find text occurs %d times in %s" % (count, name)

command = sys.argv[1]
if command == "entries":  # LIST ROOT: number, ok or the problem, file, breaks
    for number, fields, problem in parse(sys.argv[2]):
        problem = problem or problem_in(sys.argv[3], fields)
        text = [str(number), problem or "ok", fields.get("file", "?"), fields.get("breaks", "")]
        print("\t".join(t.replace("\t", " ") or "-" for t in text))
elif command == "plant":  # LIST NUMBER ROOT
    number, fields, problem = parse(sys.argv[2])[int(sys.argv[3]) - 1]
    problem = problem or problem_in(sys.argv[4], fields)
    if problem:
        sys.exit("fault %d: %s" % (number, problem))
    path = os.path.join(sys.argv[4], fields["file"])
    data = open(path, "rb").read()
    open(path, "wb").write(data.replace(fields["find"].encode(), fields["replace"].encode()))
elif command == "sync":  # SOURCE COPY, the file names NUL-separated on stdin
    source, copy = sys.argv[2], sys.argv[3]
    names = {name for name in sys.stdin.read().split("\0") if name and os.path.isfile(os.path.join(source, name))}
    for name in names:
        src, dst = os.path.join(source, name), os.path.join(copy, name)
        # Only changed files are written, so only they get a new mtime and rebuild.
        if not os.path.isfile(dst) or open(src, "rb").read() != open(dst, "rb").read():
            os.makedirs(os.path.dirname(dst), exist_ok=True)
            shutil.copyfile(src, dst)
        shutil.copymode(src, dst)
    for folder, subfolders, files in os.walk(copy):
        if folder == copy:
            subfolders[:] = [s for s in subfolders if not s.startswith("build")]
        for file in files:
            if os.path.relpath(os.path.join(folder, file), copy) not in names:
                os.remove(os.path.join(folder, file))
'
py() { python3 -c "$helper" "$@"; }

numbers=() files=() breaks=() broken=()
while IFS=$'\t' read -r number state file text; do
  if [[ -n $only && ,$only, != *,$number,* ]]; then continue; fi
  if [[ $state != ok ]]; then
    broken+=("$number: $state")
    continue
  fi
  numbers+=("$number") files+=("$file") breaks+=("$text")
done < <(py entries "$list" "$root")
if [[ -n $only ]]; then
  for n in ${only//,/ }; do
    found=false
    for m in "${numbers[@]}" "${broken[@]%%:*}"; do [[ $m == "$n" ]] && found=true; done
    $found || { echo "the list has no fault $n" >&2; exit 2; }
  done
fi

if $check; then
  for i in "${!numbers[@]}"; do printf '%3d  ok      %s\n' "${numbers[i]}" "${files[i]}"; done
  for entry in "${broken[@]}"; do printf '%3d  BROKEN  %s\n' "${entry%%:*}" "${entry#*: }"; done
  echo "${#numbers[@]} entries ok, ${#broken[@]} broken"
  ((${#broken[@]} == 0))
  exit
fi

scratch=${FAULTS_DIR:-/tmp/mervane-faults}
mkdir -p "$scratch"
scratch=$(realpath "$scratch")
copy=$scratch/main logs=$scratch/logs
case $copy/ in "$root"/*) echo "FAULTS_DIR must lie outside the checkout" >&2; exit 2 ;; esac
mkdir -p "$copy" "$logs"
# One run per copy: two would plant into the same files and restore each
# other's backups.
exec 8>"$scratch/run.lock"
flock -n 8 || { echo "another run (or a process it left running) is using $copy" >&2; exit 2; }
# The tests find their sample files at ../shared, as in the checkout.
if [[ -d $root/../shared ]]; then ln -sfn "$(realpath "$root/../shared")" "$scratch/shared"; fi
locked() {
  # -o: what the command starts does not inherit the lock, so a server a
  # test leaves running (a virtual X display) cannot hold it after the run.
  if [[ -n ${FAULTS_LOCK:-} ]]; then flock -o "$FAULTS_LOCK" "$@"; else "$@"; fi
}
# Under the lock too: whoever else holds it may have a file of the checkout
# changed for the moment, and that must not become the copy's baseline.
sync_copy() { (cd "$root" && git ls-files -z -co --exclude-standard) | py sync "$root" "$copy"; }
export -f py sync_copy
export helper root copy
locked bash -c sync_copy
cd "$copy"
jobs=$(nproc)

# The names of the tests the last ctest run failed, one per line.
failed_tests() {
  local log=build/Testing/Temporary/LastTestsFailed.log
  if [[ -f $log ]]; then cut -d: -f2- "$log"; else echo "(no test named; see the log)"; fi
}

echo "== Building and testing the unplanted copy in $copy"
cmake_options=(-DCMAKE_BUILD_TYPE=Release)
if grep -q 'option(MERVANE_BENCH' CMakeLists.txt; then cmake_options+=(-DMERVANE_BENCH=OFF); fi
if ! cmake -S . -B build "${cmake_options[@]}" >"$logs/configure.txt" 2>&1 ||
   ! locked cmake --build build -j"$jobs" >"$logs/build.txt" 2>&1; then
  tail -n 30 "$logs/configure.txt" "$logs/build.txt" 2>/dev/null
  echo "the unplanted copy does not build" >&2
  exit 1
fi
rm -f build/Testing/Temporary/LastTestsFailed.log
if ! locked ctest --test-dir build -j"$jobs" --timeout 120 >"$logs/ctest.txt" 2>&1; then
  failed_tests | head -n 10
  echo "the unplanted copy fails its tests (log: $logs/ctest.txt); no fault can be judged" >&2
  exit 1
fi

# A planted file is put back byte for byte and with a new mtime, so that the
# next build compiles it again, also when the run is cut short.
planted=""
backup=$scratch/planted.orig
restore() {
  if [[ -n $planted ]]; then
    cp -- "$backup" "$planted"
    touch -- "$planted"
    planted=""
  fi
}
trap restore EXIT
trap 'exit 130' INT TERM

caught=0 compiler=0 survivors=()
for i in "${!numbers[@]}"; do
  n=${numbers[i]}
  start=$SECONDS
  cp -p -- "${files[i]}" "$backup"
  planted=$copy/${files[i]}
  py plant "$list" "$n" "$copy"
  tests=""
  if ! locked cmake --build build -j"$jobs" >"$logs/$n-build.txt" 2>&1; then
    state=NO-BUILD
    compiler=$((compiler + 1))
  else
    rm -f build/Testing/Temporary/LastTestsFailed.log
    if locked ctest --test-dir build -j"$jobs" --timeout 120 >"$logs/$n-ctest.txt" 2>&1; then
      state=SURVIVED
      survivors+=("$n")
    else
      state=CAUGHT
      caught=$((caught + 1))
      mapfile -t failing < <(failed_tests)
      tests=$(printf '%s, ' "${failing[@]:0:3}")
      tests=${tests%, }
      if ((${#failing[@]} > 3)); then tests+=" and $((${#failing[@]} - 3)) more"; fi
    fi
  fi
  restore
  printf '%3d  %-8s %5ds  %s\n' "$n" "$state" $((SECONDS - start)) "$tests"
done

total=${#numbers[@]}
echo
echo "caught $((caught + compiler)) of $total ($((total ? 100 * (caught + compiler) / total : 100)) %):" \
  "$caught by the tests, $compiler by the compiler"
if ((${#survivors[@]})); then
  echo "survived:"
  for n in "${survivors[@]}"; do
    for i in "${!numbers[@]}"; do
      [[ ${numbers[i]} == "$n" ]] && printf '%3d  %s: %s\n' "$n" "${files[i]}" "${breaks[i]}"
    done
  done
fi
if ((${#broken[@]})); then
  echo "broken entries (not planted):"
  printf '  %s\n' "${broken[@]}"
fi
((${#survivors[@]} == 0 && ${#broken[@]} == 0))
