#!/usr/bin/env bash
# Several chains of one fit at once on one machine, then their pooled
# statistics: K runs of the parameter file with seeds 1 … K, each in its own
# folder chain1 … chainK, as many at a time as there are cores (or -j N); then
# `zorvik --combine` writes chainstat.dat here (with R-hat and the bulk
# effective sample size) and combine.txt, its console.
#
#   scripts/run_chains.sh [-j N] [--burn F] [--start same|random|jitter] K PARAMETER-FILE
#   scripts/run_chains.sh --start random 4 peaks.par
#
# Run it in the fit's folder. A chain folder holds the chain's own parameter
# file, written by zorvik-chain-folder: the data and resolution files are named
# by their path from there and read where they are (in a subfolder, behind a
# link), nothing is copied. --start random or jitter starts each chain from its
# own point (README, section 8); the default is the start of the file.
# Each chain keeps a checkpoint, run.ckpt in its folder, and writes its exit
# status to exit_status there when it ends. Run again with the same K and
# parameter file (after a kill, a reboot, a chain that failed), the script
# leaves the chains whose exit_status is 0 as they are, resumes the others from
# their run.ckpt (zorvik --resume, the console appended to console.txt), makes
# and starts the chains whose folder does not exist, and refuses a folder with
# neither (a chain stopped before its first checkpoint, or not made by this
# script: remove it to start it again). Every option and the
# parameter file are checked before the first chain starts; a mistake there
# leaves nothing behind (exit status 2). The program is build/zorvik of this
# tree, or $ZORVIK, with zorvik-chain-folder beside it. The exit status is
# then the number of chains that failed (each named with the last line of its
# console.txt), or that of the combination.
set -euo pipefail
usage() { echo "usage: $0 [-j N] [--burn F] [--start same|random|jitter] K PARAMETER-FILE" >&2; exit 2; }
refuse() { echo "$0: $*" >&2; exit 2; }
jobs=$(nproc)
burn=()
start=same
while [ $# -gt 2 ]; do
  case $1 in
    -j) jobs=$2; shift 2 ;;
    --burn) burn=(--burn "$2"); shift 2 ;;
    --start) start=$2; shift 2 ;;
    *) usage ;;
  esac
done
[ $# -eq 2 ] || usage
k=$1 par=$2
[[ $k =~ ^[1-9][0-9]{0,4}$ ]] || refuse "K must be a whole number from 1 to 99999, not '$k'"
[[ $jobs =~ ^[1-9][0-9]{0,4}$ ]] || refuse "-j needs a whole number of chains at a time, not '$jobs'"
# At most 15 decimals: a longer fraction may round to 1, which the program refuses.
[ ${#burn[@]} -eq 0 ] || [[ ${burn[1]} =~ ^(0(\.[0-9]{0,15})?|\.[0-9]{1,15})$ ]] ||
  refuse "--burn needs a fraction F with 0 <= F < 1 such as 0.3, not '${burn[1]}'"
case $start in same | random | jitter) ;; *) refuse "--start takes same, random or jitter, not '$start'" ;; esac
[ -f "$par" ] || refuse "no parameter file '$par' here"
command -v xargs >/dev/null || refuse "xargs is needed to run the chains side by side"

# The chains run in their folders: the program by an absolute path.
ZORVIK=${ZORVIK:-$(cd "$(dirname "$0")/.." && pwd)/build/zorvik}
case $ZORVIK in
  */*) ZORVIK=$(cd "$(dirname "$ZORVIK")" && pwd)/$(basename "$ZORVIK")
       prepare=$(dirname "$ZORVIK")/zorvik-chain-folder ;;
  *) prepare=zorvik-chain-folder ;;
esac
prepare=${ZORVIK_CHAIN_FOLDER:-$prepare}
# A chain folder that exists already: finished (exit_status 0), to resume
# (run.ckpt), or neither, which is refused before anything runs. chain_file.txt
# keeps the path of its chain.dat for the combination.
finished() { [ "$(cat "chain$1/exit_status" 2>/dev/null)" = 0 ]; }
for i in $(seq 1 "$k"); do
  [ -e "chain$i" ] || continue
  { [ -f "chain$i/chain_file.txt" ] && { finished "$i" || [ -f "chain$i/run.ckpt" ]; }; } ||
    refuse "chain$i exists already, neither finished nor with a checkpoint: remove it or run elsewhere"
done

# The missing chain folders; any failure here removes those made so far.
made=()
chainfiles=()
remove_made() { [ ${#made[@]} -eq 0 ] || rm -rf -- "${made[@]}"; }
trap 'remove_made; exit 130' INT TERM
for i in $(seq 1 "$k"); do
  if [ -e "chain$i" ]; then
    chainfiles+=("$(cat "chain$i/chain_file.txt")")
    continue
  fi
  if ! file=$("$prepare" --start "$start" --seed "$i" "$par" "chain$i") ||
     ! printf '%s\n' "$file" >"chain$i/chain_file.txt"; then
    made+=("chain$i")
    remove_made
    refuse "cannot prepare chain$i (above): nothing was run"
  fi
  made+=("chain$i")
  chainfiles+=("$file")
done
trap - INT TERM

# Each chain gets its seed and the parameter file's name as arguments of its own
# shell ("$1", "$2"), never as text pasted into a command.
export ZORVIK
statuses=$(mktemp)
trap 'rm -f -- "$statuses"' EXIT
job='cd -- "chain$1" || exit
if [ "$(cat exit_status 2>/dev/null)" = 0 ]; then s=0
elif [ -f run.ckpt ]; then "$ZORVIK" --resume run.ckpt </dev/null >>console.txt 2>&1; s=$?
else "$ZORVIK" --seed "$1" --checkpoint run.ckpt "$2" </dev/null >console.txt 2>&1; s=$?
fi
echo "$s" >exit_status
printf "chain%s: exit status %s\n" "$1" "$s"; printf "%s %s\n" "$1" "$s" >>"$3"'
seq 1 "$k" | xargs -P "$jobs" -I{} bash -c "$job" run_chain {} "$(basename -- "$par")" "$statuses"
failed=0
while read -r i s; do
  [ "$s" -eq 0 ] && continue
  failed=$((failed + 1))
  echo "chain$i failed (exit status $s): $(tail -n 1 "chain$i/console.txt" 2>/dev/null)" >&2
done <"$statuses"
[ "$failed" -eq 0 ] || { echo "$failed of $k chains failed (see their console.txt): nothing combined" >&2; exit "$failed"; }
"$ZORVIK" "${burn[@]}" --combine "${chainfiles[@]}" | tee combine.txt
