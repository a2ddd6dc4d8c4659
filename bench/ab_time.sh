#!/usr/bin/env bash
# Side-by-side CPU time of two builds of the program on the benchmark problems:
# each problem runs with each program in turn, REPS times, in scratch copies, and
# the median of each is printed with their ratio (B/A). Interleaving the two puts
# both under the same load on a shared machine.
#   bench/ab_time.sh A_PROGRAM B_PROGRAM [REPS] [PROBLEM ...]
# The problems are the folders of ../shared/bench (or $BENCH_DIR); the cycles of
# each parameter file are used as they stand.
set -euo pipefail
a=$(realpath "$1"); b=$(realpath "$2"); reps=${3:-5}; shift $(( $# < 3 ? $# : 3 ))
bench=${BENCH_DIR:-$(dirname "$0")/../../shared/bench}
problems=("$@"); [ ${#problems[@]} -gt 0 ] || problems=(B1_gauss3 B2_qens B3_qens_rot B4a_diel52 B4b_diel51 B5_diel_T)
scratch=$(mktemp -d); trap 'rm -rf "$scratch"' EXIT
median() { sort -g | awk '{v[NR]=$1} END {print (NR%2 ? v[(NR+1)/2] : (v[NR/2]+v[NR/2+1])/2)}'; }
printf '%-12s %10s %10s %8s\n' problem A_s B_s B/A
for p in "${problems[@]}"; do
  : >"$scratch/a.t"; : >"$scratch/b.t"
  for ((r = 0; r < reps; ++r)); do
    for side in a b; do
      prog=$a; [ $side = b ] && prog=$b
      rm -rf "$scratch/run" && cp -r "$bench/$p" "$scratch/run"
      # CPU seconds (user + system) of the run: less moved by other load than wall time.
      (cd "$scratch/run" && /usr/bin/time -f "%U %S" -o "$scratch/cpu" "$prog" --seed $((r + 1)) bench.par \
        </dev/null >/dev/null 2>&1)
      awk '{print $1 + $2}' "$scratch/cpu" >>"$scratch/$side.t"
    done
  done
  ma=$(median <"$scratch/a.t"); mb=$(median <"$scratch/b.t")
  printf '%-12s %10.3f %10.3f %8.3f\n' "$p" "$ma" "$mb" "$(echo "$mb / $ma" | bc -l)"
done
