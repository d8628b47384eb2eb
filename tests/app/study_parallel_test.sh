#!/usr/bin/env bash
# SPDX-FileCopyrightText: 2026 The Ambrel developers
# SPDX-License-Identifier: GPL-3.0-or-later
# A study in two shards run through GNU parallel on this machine and merged is the study run at
# once, byte for byte, also with the program given by a relative path; a failed point ends the
# script with status 1 and the table that says which; shards that cannot run, or a points file that
# cannot be read, with status 2, a message and no table.
#   study_parallel_test.sh AMBREL_BATCH RUN_STUDY_PARALLEL
set -euo pipefail
batch="$(realpath "$1")"
script="$(realpath "$2")"
support="$(dirname "$(realpath "$0")")/study_script_support.sh"
template="$(realpath "$(dirname "$0")/../../examples/studies/plates_gap.bal")"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
cd "$work"
cp "$template" plates.bal # the shipped template of two plates ${gap} cm apart
printf 'gap\n0.1\n0.2\n0.3\n0.5\n0.8\n1.3\n' >gaps.csv
# A point whose gap is no number: with --strict the reader fails it.
printf 'gap\n0.1\nabc\n0.3\n' >gaps_abc.csv
# study NAME STATUS ARGS...: the script run, its status checked.
source "$support"

"$batch" --study gaps.csv --capacitances plates.bal >whole.csv
# The program by a relative path, while the shards run in folders of their own.
study merged 0 -S : -n 2 -b "$(realpath --relative-to=. "$batch")" merged.csv gaps.csv plates.bal --capacitances
cmp whole.csv merged.csv
[ "$(wc -l <merged.csv)" -eq 7 ]
grep -q '^6,1.3,ok,' merged.csv

# A failed point is a row of the table, not a failed shard.
study failed 1 -S : -n 2 -b "$batch" failed.csv gaps_abc.csv plates.bal --capacitances --strict
[ "$(wc -l <failed.csv)" -eq 4 ]
grep -q '^2,abc,failed,' failed.csv
[ "$(grep -c ',ok,' failed.csv)" -eq 2 ]

# Three shards that cannot run (GNU parallel's own status would be 3, the number of failed jobs).
study missing 2 -S : -n 3 -b ./no-such-program missing.csv gaps.csv plates.bal --capacitances
[ ! -e missing.csv ]
grep -q "a shard failed" missing.err
study unreadable 2 -S : -n 2 -b "$batch" unreadable.csv no-such-points.csv plates.bal --capacitances
[ ! -e unreadable.csv ]
grep -q "cannot read no-such-points.csv" unreadable.err
