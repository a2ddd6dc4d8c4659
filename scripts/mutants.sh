#!/usr/bin/env bash
# Mutation testing: plants each fault of a list in a scratch copy of the tree and
# runs the release test suite against it. A fault that makes a test fail (or hang
# past the per-test timeout) is killed; one that leaves every test passing
# survived, and shows a gap in the tests, unless the list marks it equivalent.
#
#   scripts/mutants.sh [--work DIR] [--list FILE] [--only NAME,...] [--jobs N]
#                      [--timeout SECONDS] [--exclude REGEX] [--skip-baseline] [--check]
#
#   --work DIR     scratch folder (default: a new folder under /tmp); the tree is
#                  copied to DIR/tree and built in DIR/build, so the working tree
#                  and its build/ are never touched
#   --list FILE    the mutants (default: scripts/mutants.txt; its format is
#                  described at its top)
#   --only NAMES   run only these mutants (comma-separated names)
#   --jobs N       parallel compile and test jobs (default 2)
#   --timeout S    per-test timeout in seconds (default 120): a mutant that makes
#                  a loop endless counts as killed
#   --exclude RE   leave out the tests whose names match RE (ctest -E), e.g. the
#                  slowest examples on a busy machine; a survivor must then be run
#                  again without it before it counts
#   --skip-baseline  do not run the suite on the unmutated copy first (when it was
#                  just seen to pass)
#   --check        only check that every mutant's text occurs exactly once
#
# The same DIR can be given again: only files that changed are copied, so the
# build starts from where the last one stopped.
#
# The copy is built once; then per mutant the text is replaced, the build is
# brought up to date (only the mutated file recompiles; ccache is used when it
# is installed), `ctest --stop-on-failure` runs, and the file is restored. The
# exit status is 0 when every non-equivalent mutant was killed and every mutant
# compiled, 1 otherwise.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
work="" list="$root/scripts/mutants.txt" only="" jobs=2 timeout=120 check=0 exclude="" baseline=1
while [ $# -gt 0 ]; do
  case "$1" in
    --work) work=$2; shift 2 ;;
    --list) list=$2; shift 2 ;;
    --only) only=$2; shift 2 ;;
    --jobs) jobs=$2; shift 2 ;;
    --timeout) timeout=$2; shift 2 ;;
    --exclude) exclude=$2; shift 2 ;;
    --skip-baseline) baseline=0; shift ;;
    --check) check=1; shift ;;
    *) echo "usage: $0 [--work DIR] [--list FILE] [--only NAME,...] [--jobs N] [--timeout S]" \
            "[--exclude REGEX] [--skip-baseline] [--check]" >&2; exit 2 ;;
  esac
done
list=$(cd "$(dirname "$list")" && pwd)/$(basename "$list")

# The list as records "name<TAB>file<TAB>find<TAB>replace<TAB>equivalent",
# checked for completeness; python does the parsing and the exact-text edits.
parse() {
  python3 - "$list" "$only" <<'PY'
import sys
path, only = sys.argv[1], [n for n in sys.argv[2].split(",") if n]
blocks, cur = [], None
for no, raw in enumerate(open(path, encoding="utf-8"), 1):
    line = raw.rstrip("\n")
    if line.startswith("#"):
        continue
    if not line.strip():
        cur = None
        continue
    if line.startswith("["):
        name = line[1:line.index("]")]
        cur = {"name": name, "line": no}
        blocks.append(cur)
        continue
    if cur is None:
        sys.exit(f"{path}:{no}: a field outside a mutant block")
    key, _, value = line.partition(" ")
    if key not in ("file", "find", "replace", "equivalent"):
        sys.exit(f"{path}:{no}: unknown field '{key}'")
    cur[key] = value.lstrip(" ")
names = set()
for b in blocks:
    for k in ("file", "find", "replace"):
        if k not in b:
            sys.exit(f"{path}:{b['line']}: mutant {b['name']} has no '{k}'")
    if b["name"] in names:
        sys.exit(f"{path}:{b['line']}: mutant {b['name']} is listed twice")
    names.add(b["name"])
for n in only:
    if n not in names:
        sys.exit(f"no mutant named {n} in {path}")
for b in blocks:
    if only and b["name"] not in only:
        continue
    for v in b.values():
        if "\t" in str(v):
            sys.exit(f"{path}:{b['line']}: tabs are not allowed in a mutant")
    print("\t".join([b["name"], b["file"], b["find"], b["replace"], b.get("equivalent", "")]))
PY
}

# apply TREE FILE FIND REPLACE: the exact-text edit; fails loudly unless FIND
# occurs exactly once.
apply() {
  python3 - "$@" <<'PY'
import sys
tree, rel, find, repl = sys.argv[1:5]
path = f"{tree}/{rel}"
try:
    text = open(path, encoding="utf-8").read()
except OSError as e:
    sys.exit(f"{rel}: {e.strerror}")
n = text.count(find)
if n != 1:
    sys.exit(f"{rel}: the text occurs {n} times, expected once: {find}")
open(path, "w", encoding="utf-8").write(text.replace(find, repl))
PY
}

records=$(parse)
count=$(printf '%s\n' "$records" | grep -c . || true)

if [ "$check" = 1 ]; then
  bad=0
  tmp=$(mktemp -d)
  while IFS=$'\t' read -r name file find repl equiv; do
    mkdir -p "$tmp/$(dirname "$file")"
    cp "$root/$file" "$tmp/$file" 2>/dev/null || { echo "$name: no file $file"; bad=1; continue; }
    apply "$tmp" "$file" "$find" "$repl" 2>&1 | sed "s/^/$name: /" || true
    cmp -s "$root/$file" "$tmp/$file" && { echo "$name: not applied"; bad=1; }
    rm -f "$tmp/$file"
  done <<<"$records"
  rm -rf "$tmp"
  [ "$bad" = 0 ] && echo "$count mutants, every text found exactly once"
  exit "$bad"
fi

[ -n "$work" ] || work=$(mktemp -d /tmp/zorvik-mutants.XXXXXX)
mkdir -p "$work"
work=$(cd "$work" && pwd)
case "$work/" in "$root"/*) echo "the scratch folder must lie outside the tree" >&2; exit 2 ;; esac
tree=$work/tree build=$work/build
log=$work/log
mkdir -p "$log"
echo "scratch: $work ($count mutants)"

# The copy: the working tree as it is (uncommitted changes included), without
# builds and the version history. Into an existing copy only the files that
# differ are written (with a fresh time stamp), and files gone are removed.
rm -rf "$work/incoming"
mkdir -p "$work/incoming" "$tree"
tar -C "$root" --exclude=./.git --exclude='./build*' --exclude=./scratch -cf - . | tar -C "$work/incoming" -xf -
python3 - "$work/incoming" "$tree" <<'PY'
import filecmp, os, shutil, sys
src, dst = sys.argv[1:3]
for base, dirs, files in os.walk(src):
    rel = os.path.relpath(base, src)
    os.makedirs(os.path.join(dst, rel), exist_ok=True)
    for f in files:
        a, b = os.path.join(base, f), os.path.join(dst, rel, f)
        if not os.path.exists(b) or not filecmp.cmp(a, b, shallow=False):
            shutil.copy2(a, b)
            os.utime(b)
for base, dirs, files in os.walk(dst, topdown=False):
    rel = os.path.relpath(base, dst)
    for f in files:
        if not os.path.exists(os.path.join(src, rel, f)):
            os.remove(os.path.join(base, f))
PY
rm -rf "$work/incoming"

launcher=()
if command -v ccache >/dev/null; then
  launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
  export CCACHE_BASEDIR=${CCACHE_BASEDIR:-$work}
fi
unset ZORVIK_UPDATE_GOLDEN
cmake -S "$tree" -B "$build" -DCMAKE_BUILD_TYPE=Release -DZORVIK_WERROR=OFF "${launcher[@]}" >"$log/configure.txt" 2>&1 ||
  { echo "configure failed: $log/configure.txt" >&2; exit 1; }

run_suite() {  # run_suite LOGFILE: 0 when every test passed
  local filter=()
  [ -n "$exclude" ] && filter=(-E "$exclude")
  (cd "$build" && ctest -j "$jobs" --stop-on-failure --timeout "$timeout" --output-on-failure "${filter[@]}") \
    >"$1" 2>&1
}

echo "building the unmutated copy"
cmake --build "$build" -j "$jobs" >"$log/build.txt" 2>&1 || { echo "build failed: $log/build.txt" >&2; exit 1; }
if [ "$baseline" = 1 ]; then
  run_suite "$log/baseline.txt" || { echo "the unmutated suite fails: $log/baseline.txt" >&2; exit 1; }
  echo "unmutated suite passes"
fi
[ -n "$exclude" ] && echo "tests left out: $exclude"

killed=0 survived=0 equivalent=0 broken=0 considered=0
summary=()
while IFS=$'\t' read -r name file find repl equiv; do
  cp "$tree/$file" "$work/original"
  if ! msg=$(apply "$tree" "$file" "$find" "$repl" 2>&1); then
    echo "ERROR $name: $msg" >&2
    exit 1
  fi
  start=$(date +%s)
  if ! cmake --build "$build" -j "$jobs" >"$log/$name.build.txt" 2>&1; then
    result="NOT BUILT"
    broken=$((broken + 1))
  elif run_suite "$log/$name.txt"; then
    if [ -n "$equiv" ]; then
      result="equivalent"
      equivalent=$((equivalent + 1))
    else
      result="SURVIVED"
      survived=$((survived + 1))
    fi
  else
    # The first failing test (or the timeout) that killed it.
    by=$(grep -m1 -E '\*\*\*(Failed|Timeout|Exception)|\(Failed\)|\(Timeout\)' "$log/$name.txt" |
      sed -E 's/^ *[0-9]+\/[0-9]+ Test +#[0-9]+: //; s/ \.+.*(Failed|Timeout|Exception).*/ (\1)/' || true)
    result="killed by ${by:-a failing test}"
    killed=$((killed + 1))
  fi
  # Restored with a fresh time stamp, so the next build recompiles the original.
  cp "$work/original" "$tree/$file"
  touch "$tree/$file"
  considered=$((considered + 1))
  line=$(printf '%-28s %-5ss %s' "$name" "$(($(date +%s) - start))" "$result")
  echo "$line"
  summary+=("$line")
done <<<"$records"

cmake --build "$build" -j "$jobs" >"$log/restore.txt" 2>&1 || true
real=$((considered - equivalent - broken))
echo
echo "mutants: $considered  killed: $killed  survived: $survived  equivalent: $equivalent  not built: $broken"
if [ "$real" -gt 0 ]; then
  echo "score: $killed/$real killed ($((100 * killed / real)) %)"
fi
echo "logs: $log"
[ "$survived" = 0 ] && [ "$broken" = 0 ]
