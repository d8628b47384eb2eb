#!/usr/bin/env bash
# SPDX-FileCopyrightText: 2026 The Ambrel developers
# SPDX-License-Identifier: GPL-3.0-or-later
# Runs an ambrel-batch study on several machines with GNU parallel, one shard of the points per job,
# and merges the shards' tables into the whole table.
#
#   scripts/run-study-parallel.sh [-S SSHLOGINS] [-n SHARDS] [-b PROGRAM] OUT.csv POINTS.csv TEMPLATE.bal [ACTION...]
#
#   -S SSHLOGINS  the machines, as GNU parallel's --sshlogin takes them: "host1,host2", "4/host1"
#                 (at most 4 shards at once there), ":" for this machine (the default)
#   -n SHARDS     the number of shards (default: 4 for each machine); more shards than machines
#                 even out points of unequal cost
#   -b PROGRAM    the ambrel-batch program on the machines (default: ambrel-batch, found on PATH); a
#                 path with a slash is taken from the current folder
#   ACTION...     the actions and settings of each point: --capacitances, --calculate, --steps 5000 ...
#
# The points file and the template are copied to each machine with every job, into a folder of the
# job's own under the login folder, and the shard's table is copied back (ssh and rsync, as GNU
# parallel does; --cleanup removes the files, empty folders ambrel-study-*/ stay); the machines need
# ambrel-batch and nothing else. On this machine (":") nothing is copied. Each shard may add --jobs N to use several cores of
# its machine. Exit status: that of the merge, 0 when every point is ok, 1 when a point failed (the
# table says which), 2 when a shard could not run or the parts do not merge.
set -euo pipefail

logins=":"
shards=""
program="ambrel-batch"
while getopts "S:n:b:" option; do
    case "$option" in
    S) logins="$OPTARG" ;;
    n) shards="$OPTARG" ;;
    b) program="$OPTARG" ;;
    *) exit 2 ;;
    esac
done
shift $((OPTIND - 1))
if [ $# -lt 3 ]; then
    grep -m 1 '^#   scripts/' "$0" | sed 's/^# */usage: /' >&2
    exit 2
fi
fail() {
    echo "run-study-parallel: $*" >&2
    exit 2
}
out="$1" points="$2" template="$3"
shift 3
for file in "$points" "$template"; do
    if [ ! -f "$file" ] || [ ! -r "$file" ]; then
        fail "cannot read $file"
    fi
done
if [ -z "$shards" ]; then
    machines=$(tr ',' '\n' <<<"$logins" | grep -c .)
    shards=$((4 * machines))
fi
[[ "$shards" =~ ^[1-9][0-9]*$ ]] || fail "-n takes a number of shards of 1 or more, not \"$shards\""
# The shards run in folders of their own: a program given by its path is found from here (on the
# other machines, at the same path); a bare name is left for the PATH of each machine.
if [[ "$program" == */* ]]; then
    program="$(realpath -m -s "$program")"
fi

work="$(mktemp -d)" || fail "cannot make a scratch folder"
trap 'rm -rf "$work"' EXIT
# Each shard has a folder of its own, with its own copies, under a name of this study's own: on another
# machine the files go to the same relative path under the login folder, so that shards running at the
# same time there never share (or clean up) each other's files.
study="ambrel-study-$(basename "$work")"
for k in $(seq 1 "$shards"); do
    mkdir -p "$work/$study/shard$k"
    cp "$points" "$work/$study/shard$k/points.csv"
    cp "$template" "$work/$study/shard$k/template.bal"
done
actions=""
for a in "$@"; do
    actions+=" $(printf '%q' "$a")"
done

# Copies only for other machines (GNU parallel copies nothing for ":").
transfer=()
if [ "$(tr -d ':,' <<<"$logins")" != "" ]; then
    transfer=(--transferfile "$study/shard{}/points.csv" --transferfile "$study/shard{}/template.bal"
        --return "$study/shard{}/part.csv" --cleanup)
fi
# Exit status 1 of a shard (a failed point) is a result that the merged table shows, not a failure
# of the shard.
(cd "$work" && seq 1 "$shards" |
    parallel --sshlogin "$logins" "${transfer[@]}" \
        "cd $study/shard{} && $(printf '%q' "$program") --study points.csv --shard {}/$shards$actions \
         template.bal > part.csv; s=\$?; exit \$(( s > 1 ? s : 0 ))") ||
    { echo "run-study-parallel: a shard failed" >&2; exit 2; }

parts=()
for k in $(seq 1 "$shards"); do
    parts+=("$work/$study/shard$k/part.csv")
done
# 1 when the whole table holds a failed point.
"$program" --merge "$out" "${parts[@]}"
