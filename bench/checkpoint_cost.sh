#!/usr/bin/env bash
# The cost of checkpoints on the shipped examples: the median wall time of
# REPEAT whole runs with a checkpoint after every write interval
# (--checkpoint, forced to the disk each time) against the same runs without,
# run in turn, both with --seed 1 (so that both write chain.dat), and the
# extra time in per cent; the size is the checkpoint's with its side file.
#
#   bench/checkpoint_cost.sh [REPEAT]        (default 3; needs build/zorvik)
set -euo pipefail
cd "$(dirname "$0")/.."
repeat=${1:-3}
zorvik=$PWD/build/zorvik
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

# wall NAME ARGS...: the wall time in seconds of one run in a fresh copy.
wall() {
  local name=$1
  shift
  rm -rf "${scratch:?}/$name" && cp -r "examples/$name" "$scratch/$name"
  local start end
  start=$(date +%s.%N)
  (cd "$scratch/$name" && "$zorvik" "$@" "$name.par" </dev/null >/dev/null)
  end=$(date +%s.%N)
  awk -v a="$start" -v b="$end" 'BEGIN {print b - a}'
}
median() { sort -g | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}'; }

printf '%-22s %10s %10s %12s %12s %9s %10s\n' example cycles intervals "none s" "every s" ratio "ckpt kB"
for dir in examples/*/; do
  name=$(basename "$dir")
  [ -f "$dir/$name.par" ] || continue
  read -r cycles nwrite _ < <(grep '!Ciclos' "$dir/$name.par")
  # The two kinds of run in turn, so that both meet the same load; no report
  # folder (its gnuplot run would only add noise to both).
  : >"$scratch/none.t"; : >"$scratch/every.t"
  for _ in $(seq "$repeat"); do
    wall "$name" --seed 1 --no-report >>"$scratch/none.t"
    wall "$name" --seed 1 --no-report --checkpoint run.ckpt >>"$scratch/every.t"
  done
  none=$(median <"$scratch/none.t"); every=$(median <"$scratch/every.t")
  size=$(( ($(stat -c %s "$scratch/$name/run.ckpt") + $(cat "$scratch/$name"/run.ckpt.states* | wc -c)) / 1024 ))
  printf '%-22s %10d %10d %12.3f %12.3f %8.2f%% %10d\n' "$name" "$cycles" $((cycles / nwrite)) "$none" "$every" \
    "$(awk -v a="$none" -v b="$every" 'BEGIN {print 100 * (b - a) / a}')" "$size"
done
