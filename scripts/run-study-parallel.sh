#!/usr/bin/env bash
# Runs an ambrel-batch study on several machines with GNU parallel, one shard of the points per job,
# and merges the shards' tables into the whole table.
#
#   scripts/run-study-parallel.sh [-S SSHLOGINS] [-n SHARDS] [-b PROGRAM] OUT.csv POINTS.csv TEMPLATE.bal [ACTION...]
#
#   -S SSHLOGINS  the machines, as GNU parallel's --sshlogin takes them: "host1,host2", "4/host1"
#                 (at most 4 shards at once there), ":" for this machine (the default)
#   -n SHARDS     the number of shards (default: 4 for each machine); more shards than machines
#                 even out points of unequal cost
#   -b PROGRAM    the ambrel-batch program on the machines (default: ambrel-batch, found on PATH)
#   ACTION...     the actions and settings of each point: --capacitances, --calculate, --steps 5000 ...
#
# The points file and the template are copied to each machine with every job and the shard's table
# is copied back (ssh and rsync, as GNU parallel does); the machines need ambrel-batch and nothing
# else. On this machine (":") nothing is copied. Each shard may add --jobs N to use several cores of
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
    sed -n '4,5p' "$0" >&2
    exit 2
fi
out="$1" points="$2" template="$3"
shift 3
if [ -z "$shards" ]; then
    machines=$(tr ',' '\n' <<<"$logins" | grep -c .)
    shards=$((4 * machines))
fi

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
cp "$points" "$work/points.csv"
cp "$template" "$work/template.bal"
actions=""
for a in "$@"; do
    actions+=" $(printf '%q' "$a")"
done

# Copies only for other machines.
transfer=()
if [ "$(tr -d ':,' <<<"$logins")" != "" ]; then
    transfer=(--transferfile points.csv --transferfile template.bal --return 'part{}.csv' --cleanup)
fi
# Exit status 1 of a shard (a failed point) is a result that the merged table shows, not a failure
# of the shard.
(cd "$work" && seq 1 "$shards" |
    parallel --sshlogin "$logins" "${transfer[@]}" \
        "$(printf '%q' "$program") --study points.csv --shard {}/$shards$actions template.bal > part{}.csv; \
         s=\$?; exit \$(( s > 1 ? s : 0 ))") ||
    { echo "run-study-parallel: a shard failed" >&2; exit 2; }

parts=()
for k in $(seq 1 "$shards"); do
    parts+=("$work/part$k.csv")
done
# 1 when the whole table holds a failed point.
exec "$program" --merge "$out" "${parts[@]}"
