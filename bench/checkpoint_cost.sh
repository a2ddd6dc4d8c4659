#!/usr/bin/env bash
# The cost of checkpoints on the shipped examples, whole runs: the median wall
# time of REPEAT whole runs with a checkpoint after every write interval
# (--checkpoint run.ckpt, forced to the disk as by default) against the same
# runs without, run in turn, both with --seed 1 (so that both write chain.dat),
# and the extra time in per cent; the size is the checkpoint's with its side
# file. On a shared machine the difference of two runs moves by more than the
# cost; checkpoint_bench measures the time spent in making checkpoints within
# each run, which it does not.
#
#   bench/checkpoint_cost.sh [REPEAT]        (default 3; needs build/zorvik)
set -euo pipefail
cd "$(dirname "$0")/.."
repeat=${1:-3}
zorvik=$PWD/build/zorvik
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

# one NAME ARGS...: "wall cpu" seconds of one run in a fresh copy (cpu: user +
# system, which other load on a shared machine moves less than the wall time).
one() {
  local name=$1
  shift
  rm -rf "${scratch:?}/$name" && cp -r "examples/$name" "$scratch/$name"
  (cd "$scratch/$name" && /usr/bin/time -f "%e %U %S" -o "$scratch/time" "$zorvik" "$@" "$name.par" </dev/null >/dev/null)
  awk '{print $1, $2 + $3}' "$scratch/time"
}
median() { sort -g | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}'; }
column() { awk -v c="$1" '{print $c}' "$2" | median; }

printf '%-20s %8s %6s %9s %9s %8s %9s %9s %8s %8s\n' example cycles ivals "none s" "every s" wall+ \
  "cpu none" "cpu every" cpu+ "ckpt kB"
for dir in examples/*/; do
  name=$(basename "$dir")
  [ -f "$dir/$name.par" ] || continue
  read -r cycles nwrite _ < <(grep '!Ciclos' "$dir/$name.par")
  # The two kinds of run in turn, so that both meet the same load; no report
  # folder (its gnuplot run would only add noise to both).
  : >"$scratch/none.t"; : >"$scratch/every.t"
  for _ in $(seq "$repeat"); do
    one "$name" --seed 1 --no-report >>"$scratch/none.t"
    one "$name" --seed 1 --no-report --checkpoint run.ckpt >>"$scratch/every.t"
  done
  none=$(column 1 "$scratch/none.t"); every=$(column 1 "$scratch/every.t")
  cpu_none=$(column 2 "$scratch/none.t"); cpu_every=$(column 2 "$scratch/every.t")
  size=$(( ($(stat -c %s "$scratch/$name/run.ckpt") + $(cat "$scratch/$name"/run.ckpt.states* | wc -c)) / 1024 ))
  printf '%-20s %8d %6d %9.3f %9.3f %7.2f%% %9.3f %9.3f %7.2f%% %8d\n' "$name" "$cycles" $((cycles / nwrite)) \
    "$none" "$every" "$(awk -v a="$none" -v b="$every" 'BEGIN {print 100 * (b - a) / a}')" \
    "$cpu_none" "$cpu_every" "$(awk -v a="$cpu_none" -v b="$cpu_every" 'BEGIN {print 100 * (b - a) / a}')" "$size"
done
