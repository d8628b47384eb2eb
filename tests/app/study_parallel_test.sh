#!/usr/bin/env bash
# A study in two shards run through GNU parallel on this machine and merged is the study run at
# once, byte for byte.
#   study_parallel_test.sh AMBREL_BATCH RUN_STUDY_PARALLEL
set -euo pipefail
batch="$1"
script="$2"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
cd "$work"
cat >plates.bal <<'BAL'
* Two plates ${gap} cm apart
Qtop top 0 0 ${gap} 0 0 0 1 1
Qbottom bottom 0 0 0 0 0 0 1 1
.V top 50
.V bottom -50
BAL
printf 'gap\n0.1\n0.2\n0.3\n0.5\n0.8\n1.3\n' >gaps.csv

"$batch" --study gaps.csv --capacitances plates.bal >whole.csv
"$script" -S : -n 2 -b "$batch" merged.csv gaps.csv plates.bal --capacitances
cmp whole.csv merged.csv
[ "$(wc -l <merged.csv)" -eq 7 ]
grep -q '^6,1.3,ok,' merged.csv
