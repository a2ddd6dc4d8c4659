#!/usr/bin/env bash
# Several chains of one fit on a cluster: K runs of the parameter file with
# seeds 1 … K as a Slurm job array (one single-threaded task per chain, each in
# its folder chain<seed>, console in console.txt and exit status in
# exit_status there), and a job that runs when the whole array has ended,
# whatever the end: it names every chain that failed or did not finish (time
# limit, cancelled) and, when none did, pools the chains with `zorvik --combine`
# into chainstat.dat. Its output is combine.txt in the fit's folder.
#
#   scripts/slurm_chains.sh [--burn F] [--start same|random|jitter] K PARAMETER-FILE
#   scripts/slurm_chains.sh --start random 16 run.par
#
# Run it on the login node in the fit's folder: it checks the options and the
# parameter file, prepares the chain folders with zorvik-chain-folder (the
# chain's parameter file, the data read where they are; --start as in
# run_chains.sh) and submits itself twice. The program is zorvik on the PATH of
# the compute nodes, or $ZORVIK; zorvik-chain-folder beside it or on the PATH of
# the login node. Every name reaches the jobs as an argument of sbatch, never as
# shell text.
#
# Time limits: each chain writes a checkpoint (run.ckpt in its folder) at every
# write interval. Five minutes before the limit Slurm sends SIGUSR1 to the job's
# shell, which passes it on; the chain checkpoints at the step it is at and ends
# with status 138 (128 + SIGUSR1), and the task is requeued (scontrol requeue):
# when it starts again it resumes from run.ckpt (zorvik --resume), its console
# appended to console.txt, and ends with the files of a chain never stopped.
#SBATCH --job-name=zorvik-chain
#SBATCH --ntasks=1
#SBATCH --cpus-per-task=1
#SBATCH --time=04:00:00
#SBATCH --output=zorvik-%A_%a.log
#SBATCH --signal=B:USR1@300
#SBATCH --requeue
set -euo pipefail
zorvik=${ZORVIK:-zorvik}

# Inside the array: one chain.   slurm_chains.sh --chain PARAMETER-FILE-NAME
if [ "${1:-}" = --chain ]; then
  cd "chain$SLURM_ARRAY_TASK_ID"
  status=0
  if [ -f run.ckpt ]; then
    "$zorvik" --resume run.ckpt </dev/null >>console.txt 2>&1 &
  else
    "$zorvik" --seed "$SLURM_ARRAY_TASK_ID" --checkpoint run.ckpt "$2" </dev/null >console.txt 2>&1 &
  fi
  pid=$!
  trap 'kill -USR1 "$pid" 2>/dev/null' USR1
  # A trapped signal ends a wait early: wait again until the chain has ended.
  wait "$pid" || status=$?
  while kill -0 "$pid" 2>/dev/null; do status=0; wait "$pid" || status=$?; done
  if [ "$status" = 138 ]; then  # checkpointed before the time limit: run again later
    scontrol requeue "${SLURM_ARRAY_JOB_ID}_$SLURM_ARRAY_TASK_ID"
    exit 0
  fi
  echo "$status" >exit_status
  exit "$status"
fi

# After the array:   slurm_chains.sh --combine K BURN CHAIN-FILE...   (BURN "" for the default)
if [ "${1:-}" = --combine ]; then
  k=$2 burn=$3
  shift 3
  failed=0
  for i in $(seq 1 "$k"); do
    if [ ! -f "chain$i/exit_status" ]; then
      echo "chain$i did not finish (time limit, cancelled or a lost node): see zorvik-*_$i.log and chain$i/console.txt"
    elif [ "$(cat "chain$i/exit_status")" != 0 ]; then
      echo "chain$i failed (exit status $(cat "chain$i/exit_status")): $(tail -n 1 "chain$i/console.txt" 2>/dev/null)"
    else
      continue
    fi
    failed=$((failed + 1))
  done
  if [ "$failed" -gt 0 ]; then
    echo "$failed of $k chains failed: nothing combined (zorvik --combine the others by hand)"
    exit "$failed"
  fi
  if [ -n "$burn" ]; then exec "$zorvik" --burn "$burn" --combine "$@"; fi
  exec "$zorvik" --combine "$@"
fi

# On the login node.
usage() { echo "usage: $0 [--burn F] [--start same|random|jitter] K PARAMETER-FILE" >&2; exit 2; }
refuse() { echo "$0: $*" >&2; exit 2; }
burn="" start=same
while [ $# -gt 2 ]; do
  case $1 in
    --burn) burn=$2; shift 2 ;;
    --start) start=$2; shift 2 ;;
    *) usage ;;
  esac
done
[ $# -eq 2 ] || usage
k=$1 par=$2
[[ $k =~ ^[1-9][0-9]{0,4}$ ]] || refuse "K must be a whole number from 1 to 99999, not '$k'"
[ -z "$burn" ] || [[ $burn =~ ^(0(\.[0-9]{0,15})?|\.[0-9]{1,15})$ ]] ||
  refuse "--burn needs a fraction F with 0 <= F < 1 such as 0.3, not '$burn'"
case $start in same | random | jitter) ;; *) refuse "--start takes same, random or jitter, not '$start'" ;; esac
[ -f "$par" ] || refuse "no parameter file '$par' here"
case $zorvik in
  */*) export ZORVIK=$(cd "$(dirname "$zorvik")" && pwd)/$(basename "$zorvik")
       prepare=$(dirname "$ZORVIK")/zorvik-chain-folder ;;
  *) prepare=zorvik-chain-folder ;;
esac
prepare=${ZORVIK_CHAIN_FOLDER:-$prepare}
for i in $(seq 1 "$k"); do
  [ ! -e "chain$i" ] || refuse "chain$i exists already: remove it or run elsewhere"
done
made=()
chainfiles=()
remove_made() { [ ${#made[@]} -eq 0 ] || rm -rf -- "${made[@]}"; }
trap 'remove_made; exit 130' INT TERM
for i in $(seq 1 "$k"); do
  if ! file=$("$prepare" --start "$start" --seed "$i" "$par" "chain$i"); then
    remove_made
    refuse "cannot prepare chain$i (above): nothing was submitted"
  fi
  made+=("chain$i")
  chainfiles+=("$file")
done
if ! array=$(sbatch --parsable --array="1-$k" "$0" --chain "$(basename -- "$par")"); then
  remove_made
  refuse "sbatch refused the chains: nothing was submitted"
fi
trap - INT TERM
sbatch --dependency="afterany:${array%%;*}" --job-name=zorvik-combine --ntasks=1 --output=combine.txt \
  "$0" --combine "$k" "$burn" "${chainfiles[@]}"
echo "submitted chains as job $array and their combination after it (combine.txt)"
