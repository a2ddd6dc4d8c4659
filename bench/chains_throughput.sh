#!/usr/bin/env bash
# Retained states per second of wall-clock time: one chain, against K chains run
# at once by scripts/run_chains.sh (xargs -P, one job per chain) and pooled
# by --combine. Each figure is the median of R repetitions.
#
#   bench/chains_throughput.sh [K] [STEPS] [R]      # defaults: 4 chains, 1200000 steps, 3
#
# On the peaks example with `ncycles` set to STEPS; the program is build/zorvik
# of this tree, or $ZORVIK. Retained states = chains × (1 − 0.2) × STEPS.
set -euo pipefail
k=${1:-4} steps=${2:-1200000} reps=${3:-3}
root=$(cd "$(dirname "$0")/.." && pwd)
export ZORVIK=${ZORVIK:-$root/build/zorvik}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir "$work/fit"
cp "$root"/examples/peaks/* "$work/fit/"
sed -i "s/^ *[0-9]* *[0-9]* *!Ciclos tot, write/ $steps 100000 !Ciclos tot, write/" "$work/fit/peaks.par"
median() { sort -g | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}'; }
now() { date +%s.%N; }
one=() many=()
for r in $(seq 1 "$reps"); do
  rm -rf "$work/one" && cp -r "$work/fit" "$work/one"
  t0=$(now); (cd "$work/one" && "$ZORVIK" --seed 1 peaks.par </dev/null >console.txt); t1=$(now)
  one+=("$(echo "0.8 * $steps / ($t1 - $t0)" | bc -l)")
  rm -rf "$work/many" && cp -r "$work/fit" "$work/many"
  t0=$(now); (cd "$work/many" && "$root/scripts/run_chains.sh" -j "$k" "$k" peaks.par >/dev/null); t1=$(now)
  many+=("$(echo "$k * 0.8 * $steps / ($t1 - $t0)" | bc -l)")
done
m1=$(printf '%s\n' "${one[@]}" | median)
mk=$(printf '%s\n' "${many[@]}" | median)
printf 'one chain:  %.0f retained states/s (runs: %s)\n' "$m1" "$(printf '%.0f ' "${one[@]}")"
printf '%d chains:   %.0f retained states/s (runs: %s)\n' "$k" "$mk" "$(printf '%.0f ' "${many[@]}")"
printf 'ratio:      %.2f on %d cores\n' "$(echo "$mk / $m1" | bc -l)" "$(nproc)"
