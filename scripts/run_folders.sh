#!/usr/bin/env bash
# Many independent fits at once on one machine (a temperature series, a set of
# samples): one folder per fit, each holding a parameter file of the same name
# and its data. Every fit runs in batch mode in its own folder, its console in
# console.txt there, as many at a time as there are cores (or -j N). The program
# itself is single-threaded; GNU parallel shares out the folders.
#
#   scripts/run_folders.sh [-j N] PARAMETER-FILE FOLDER...
#   scripts/run_folders.sh run.par T180 T195 T210
#
# The program is build/zorvik of this tree, or $ZORVIK. The exit status is the
# number of fits that failed (see their console.txt).
set -euo pipefail
jobs=$(nproc)
if [ "${1:-}" = "-j" ]; then
  jobs=$2
  shift 2
fi
if [ $# -lt 2 ]; then
  echo "usage: $0 [-j N] PARAMETER-FILE FOLDER..." >&2
  exit 2
fi
par=$1
shift
ZORVIK=${ZORVIK:-$(cd "$(dirname "$0")/.." && pwd)/build/zorvik}
export ZORVIK par
# Each folder reaches the job as a positional parameter of its own shell ("$1"),
# never as text pasted into a command line, so a name holding blanks, quotes,
# "$(...)" or a leading "-" is only ever a name. -q hands the words to bash
# exactly as written here.
job='cd -- "$1" && "$ZORVIK" "$par" </dev/null >console.txt 2>&1; s=$?; printf "%s: exit status %s\n" "$1" "$s"; exit $s'
parallel --will-cite --jobs "$jobs" -q bash -c "$job" run_folder {} ::: "$@"
