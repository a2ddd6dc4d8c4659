#!/usr/bin/env bash
# Several chains of one fit at once on one machine, then their pooled
# statistics: K runs of the parameter file with seeds 1 … K, each in its own
# folder chain1 … chainK (a copy of every file of the current folder), as many
# at a time as there are cores (or -j N), with GNU parallel; then
# `zorvik --combine chain1 … chainK` writes chainstat.dat here (with R-hat and
# the bulk effective sample size) and combine.txt, its console.
#
#   scripts/run_chains.sh [-j N] [--burn F] K PARAMETER-FILE
#   scripts/run_chains.sh 4 peaks.par
#
# Run it in the fit's folder. The folders chain1 … chainK must not exist yet.
# The program is build/zorvik of this tree, or $ZORVIK. The exit status is the
# number of chains that failed (see their console.txt), or that of the
# combination.
set -euo pipefail
usage() { echo "usage: $0 [-j N] [--burn F] K PARAMETER-FILE" >&2; exit 2; }
jobs=$(nproc)
burn=()
while [ $# -gt 2 ]; do
  case $1 in
    -j) jobs=$2; shift 2 ;;
    --burn) burn=(--burn "$2"); shift 2 ;;
    *) usage ;;
  esac
done
[ $# -eq 2 ] || usage
k=$1 par=$2
[[ $k =~ ^[1-9][0-9]*$ ]] || usage
[ -f "$par" ] || { echo "$0: no parameter file $par here" >&2; exit 2; }
for i in $(seq 1 "$k"); do
  [ ! -e "chain$i" ] || { echo "$0: chain$i exists already: remove it or run elsewhere" >&2; exit 2; }
done
for i in $(seq 1 "$k"); do
  mkdir "chain$i"
  find . -maxdepth 1 -type f -exec cp {} "chain$i/" \;
done
ZORVIK=${ZORVIK:-$(cd "$(dirname "$0")/.." && pwd)/build/zorvik}
export ZORVIK par
status=0
parallel --will-cite --jobs "$jobs" \
  'cd chain{} && "$ZORVIK" --seed {} "$par" </dev/null >console.txt 2>&1; s=$?; echo "chain{}: exit status $s"; exit $s' \
  ::: $(seq 1 "$k") || status=$?
[ "$status" -eq 0 ] || exit "$status"
# A parameter file named t… writes its chain into the folder of its first four characters.
sub=""
case $par in t* | T*) sub=/${par:0:4} ;; esac
"$ZORVIK" "${burn[@]}" --combine $(for i in $(seq 1 "$k"); do echo "chain$i$sub"; done) | tee combine.txt
