#!/usr/bin/env bash
# Many independent fits on a cluster: a Slurm job array with one task per
# folder, each task one single-threaded run in its folder (console in
# console.txt there). List the folders, one per line, then submit:
#
#   ls -d T*/ > folders.txt
#   sbatch --array=1-$(wc -l < folders.txt) scripts/slurm_array.sh folders.txt run.par
#
# The program is zorvik on the PATH of the compute nodes, or $ZORVIK.
#SBATCH --job-name=zorvik
#SBATCH --ntasks=1
#SBATCH --cpus-per-task=1
#SBATCH --time=04:00:00
#SBATCH --output=zorvik-%A_%a.log
set -euo pipefail
list=${1:?usage: slurm_array.sh FOLDER-LIST PARAMETER-FILE}
par=${2:?usage: slurm_array.sh FOLDER-LIST PARAMETER-FILE}
folder=$(sed -n "${SLURM_ARRAY_TASK_ID:?not inside a Slurm job array}p" "$list")
[ -n "$folder" ] || { echo "no line ${SLURM_ARRAY_TASK_ID} in $list" >&2; exit 2; }
cd "$folder"
exec "${ZORVIK:-zorvik}" "$par" </dev/null >console.txt 2>&1
