#!/usr/bin/env bash
# Whole runs of the shipped examples, as a user runs them (batch mode, every
# file written, distributions and evidence at the end): the median wall time
# of REPEAT runs and the chain steps per second it means.
#
#   bench/run_examples.sh [REPEAT]        (default 3; needs build/zorvik)
set -euo pipefail
cd "$(dirname "$0")/.."
repeat=${1:-3}
zorvik=$PWD/build/zorvik
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
printf '%-22s %10s %12s %14s\n' example cycles "median s" "steps/s"
for dir in examples/*/; do
  name=$(basename "$dir")
  [ -f "$dir/$name.par" ] || continue
  cycles=$(grep '!Ciclos' "$dir/$name.par" | awk '{print $1}')
  times=()
  for _ in $(seq "$repeat"); do
    rm -rf "${scratch:?}/$name" && cp -r "$dir" "$scratch/$name"
    start=$(date +%s.%N)
    (cd "$scratch/$name" && "$zorvik" "$name.par" </dev/null >/dev/null)
    end=$(date +%s.%N)
    times+=("$(awk -v a="$start" -v b="$end" 'BEGIN {print b - a}')")
  done
  median=$(printf '%s\n' "${times[@]}" | sort -g | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}')
  printf '%-22s %10d %12.3f %14.0f\n' "$name" "$cycles" "$median" "$(awk -v c="$cycles" -v t="$median" 'BEGIN {print c / t}')"
done
