#!/usr/bin/env bash
# The cost of checkpoints on the shipped examples: the median wall time of
# REPEAT whole runs with a checkpoint after every write interval
# (--checkpoint, forced to the disk each time) against the same runs without,
# both with --seed 1 (so that both write chain.dat), and their ratio.
#
#   bench/checkpoint_cost.sh [REPEAT]        (default 3; needs build/zorvik)
set -euo pipefail
cd "$(dirname "$0")/.."
repeat=${1:-3}
zorvik=$PWD/build/zorvik
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

# median NAME ARGS...: the median wall time in seconds of REPEAT runs.
median() {
  local name=$1 times=()
  shift
  for _ in $(seq "$repeat"); do
    rm -rf "${scratch:?}/$name" && cp -r "examples/$name" "$scratch/$name"
    local start end
    start=$(date +%s.%N)
    (cd "$scratch/$name" && "$zorvik" "$@" "$name.par" </dev/null >/dev/null)
    end=$(date +%s.%N)
    times+=("$(awk -v a="$start" -v b="$end" 'BEGIN {print b - a}')")
  done
  printf '%s\n' "${times[@]}" | sort -g | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}'
}

printf '%-22s %10s %10s %12s %12s %9s %10s\n' example cycles intervals "none s" "every s" ratio "ckpt kB"
for dir in examples/*/; do
  name=$(basename "$dir")
  [ -f "$dir/$name.par" ] || continue
  read -r cycles nwrite _ < <(grep '!Ciclos' "$dir/$name.par")
  none=$(median "$name" --seed 1)
  every=$(median "$name" --seed 1 --checkpoint run.ckpt)
  size=$(( $(stat -c %s "$scratch/$name/run.ckpt") / 1024 ))
  printf '%-22s %10d %10d %12.3f %12.3f %8.2f%% %10d\n' "$name" "$cycles" $((cycles / nwrite)) "$none" "$every" \
    "$(awk -v a="$none" -v b="$every" 'BEGIN {print 100 * (b - a) / a}')" "$size"
done
