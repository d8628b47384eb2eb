#!/usr/bin/env bash
# Runs an ambrel-batch study on a Slurm cluster as a job array, one shard of the points per task,
# then merges the shards' tables into the whole table in a job that waits for the array.
#
#   scripts/run-study-slurm.sh [-n TASKS] [-b PROGRAM] [-s SBATCH_OPTION]... OUT.csv POINTS.csv TEMPLATE.bal [ACTION...]
#
#   -n TASKS      the tasks of the array, one shard each (default 4)
#   -b PROGRAM    the ambrel-batch program on the nodes (default: ambrel-batch, found on PATH)
#   -s OPTION     an option for sbatch, e.g. -s --partition=lab -s --time=2:00:00 -s --cpus-per-task=4
#                 (with more than one CPU a task, add --jobs N to the actions to use them)
#   ACTION...     the actions and settings of each point: --capacitances, --calculate, --steps 5000 ...
#
# The shards' tables, the tasks' logs and copies of the points file and the template are kept in
# OUT.parts/ beside OUT.csv, which must be on a file system the nodes share (the home or a project
# folder of a cluster). The script waits until the merge is done (run it under nohup, tmux or
# screen for a long study) and exits with the merge's status: 0 every point ok, 1 a point failed
# (the table says which), 2 a task or the merge failed (see OUT.parts/*.log).
set -euo pipefail

tasks=4
program="ambrel-batch"
sbatch_options=()
while getopts "n:b:s:" option; do
    case "$option" in
    n) tasks="$OPTARG" ;;
    b) program="$OPTARG" ;;
    s) sbatch_options+=("$OPTARG") ;;
    *) exit 2 ;;
    esac
done
shift $((OPTIND - 1))
if [ $# -lt 3 ]; then
    sed -n '4,5p' "$0" >&2
    exit 2
fi
out="$(realpath -m "$1")"
points="$2"
template="$3"
shift 3

parts="${out%.csv}.parts"
rm -rf "$parts"
mkdir -p "$parts"
cp "$points" "$parts/points.csv"
cp "$template" "$parts/template.bal"
actions=""
for a in "$@"; do
    actions+=" $(printf '%q' "$a")"
done
program_text="$(printf '%q' "$program")"

# One shard a task. Exit status 1 (a failed point) is a result that the merged table shows.
cat >"$parts/shard.sh" <<SHARD
#!/usr/bin/env bash
cd $(printf '%q' "$parts")
$program_text --study points.csv --shard "\$SLURM_ARRAY_TASK_ID/$tasks"$actions template.bal \\
    > "part-\$SLURM_ARRAY_TASK_ID.csv"
s=\$?
exit \$(( s > 1 ? s : 0 ))
SHARD
merge_parts=""
for k in $(seq 1 "$tasks"); do
    merge_parts+=" part-$k.csv"
done
cat >"$parts/merge.sh" <<MERGE
#!/usr/bin/env bash
cd $(printf '%q' "$parts")
exec $program_text --merge $(printf '%q' "$out")$merge_parts
MERGE

array=$(sbatch --parsable "${sbatch_options[@]}" --job-name=ambrel-study --array="1-$tasks" \
    --output="$parts/task-%a.log" "$parts/shard.sh")
array="${array%%;*}"
echo "run-study-slurm: job array $array, $tasks tasks; the merge waits for it" >&2
# The merge runs once every task has ended well; a failed task cancels it.
status=0
sbatch --wait --parsable "${sbatch_options[@]}" --job-name=ambrel-study-merge \
    --dependency="afterok:$array" --kill-on-invalid-dep=yes --output="$parts/merge.log" \
    "$parts/merge.sh" >/dev/null || status=$?
if [ "$status" -ne 0 ] && [ "$status" -ne 1 ]; then
    echo "run-study-slurm: the study did not end well (see $parts/*.log)" >&2
    exit 2
fi
exit "$status"
