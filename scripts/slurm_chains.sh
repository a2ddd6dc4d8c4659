#!/usr/bin/env bash
# Several chains of one fit on a cluster: K runs of the parameter file with
# seeds 1 … K as a Slurm job array (one single-threaded task per chain, each in
# its folder chain<seed>, console in console.txt there), and a job that depends
# on the whole array and pools the chains with `zorvik --combine` into
# chainstat.dat and combine.txt in the fit's folder. In the fit's folder:
#
#   scripts/slurm_chains.sh 16 run.par        # makes chain1 … chain16, submits both jobs
#
# The program is zorvik on the PATH of the compute nodes, or $ZORVIK. Run from
# the login node the script prepares the folders and submits itself as the
# array; inside the array (SLURM_ARRAY_TASK_ID set) it runs one chain.
#SBATCH --job-name=zorvik-chain
#SBATCH --ntasks=1
#SBATCH --cpus-per-task=1
#SBATCH --time=04:00:00
#SBATCH --output=zorvik-%A_%a.log
set -euo pipefail
k=${1:?usage: slurm_chains.sh K PARAMETER-FILE}
par=${2:?usage: slurm_chains.sh K PARAMETER-FILE}
zorvik=${ZORVIK:-zorvik}
if [ -n "${SLURM_ARRAY_TASK_ID:-}" ]; then
  cd "chain$SLURM_ARRAY_TASK_ID"
  exec "$zorvik" --seed "$SLURM_ARRAY_TASK_ID" "$par" </dev/null >console.txt 2>&1
fi
[[ $k =~ ^[1-9][0-9]*$ ]] || { echo "K must be a positive integer, not $k" >&2; exit 2; }
[ -f "$par" ] || { echo "no parameter file $par here" >&2; exit 2; }
for i in $(seq 1 "$k"); do
  [ ! -e "chain$i" ] || { echo "chain$i exists already: remove it or run elsewhere" >&2; exit 2; }
done
for i in $(seq 1 "$k"); do
  mkdir "chain$i"
  find . -maxdepth 1 -type f -exec cp {} "chain$i/" \;
done
sub=""
case $par in t* | T*) sub=/${par:0:4} ;; esac
folders=$(for i in $(seq 1 "$k"); do printf 'chain%s%s ' "$i" "$sub"; done)
array=$(sbatch --parsable --array="1-$k" "$0" "$k" "$par")
sbatch --dependency="afterok:${array%%;*}" --job-name=zorvik-combine --ntasks=1 --output=combine.txt \
  --wrap="$zorvik --combine $folders"
echo "submitted chains as job $array and their combination after it"
