#!/usr/bin/env bash
# SPDX-FileCopyrightText: 2026 The Ambrel developers
# SPDX-License-Identifier: GPL-3.0-or-later
# Runs an ambrel-batch study on a Slurm cluster as a job array, one shard of the points per task,
# then merges the shards' tables into the whole table in a job that waits for the array.
#
#   scripts/run-study-slurm.sh [-n TASKS] [-b PROGRAM] [-s SBATCH_OPTION]... [-k] OUT.csv POINTS.csv TEMPLATE.bal [ACTION...]
#
#   -n TASKS      the tasks of the array, one shard each (default 4)
#   -b PROGRAM    the ambrel-batch program on the nodes (default: ambrel-batch, found on PATH); a path
#                 with a slash is taken from the current folder
#   -s OPTION     an option for sbatch, e.g. -s --partition=lab -s --time=2:00:00 -s --cpus-per-task=4
#                 (with more than one CPU a task, add --jobs N to the actions to use them)
#   -k            keep the scratch folder OUT.parts/ (see below) when done
#   ACTION...     the actions and settings of each point: --capacitances, --calculate, --steps 5000 ...
#
# The tasks work in the scratch folder OUT.parts/ beside OUT.csv (copies of the points file and the
# template, the shards' tables, the tasks' logs), which must be on a file system the nodes share (the
# home or a project folder of a cluster); it is removed at the end, also after a failure, unless -k
# is given. The script waits until the array and the merge are done (run it under nohup, tmux or
# screen for a long study). When a task fails, the merge does not run and the tasks not yet ended are
# cancelled. Exit status: 0 every point ok, 1 a point failed (the table says which), 2 anything else
# failed: a task, the merge, or sbatch (missing or refused); standard error says which, with the end
# of its log, and OUT.csv is not written. If the script is interrupted, the jobs go on and OUT.parts/
# is kept.
set -euo pipefail

tasks=4
program="ambrel-batch"
sbatch_options=()
keep=""
while getopts "n:b:s:k" option; do
    case "$option" in
    n) tasks="$OPTARG" ;;
    b) program="$OPTARG" ;;
    s) sbatch_options+=("$OPTARG") ;;
    k) keep=yes ;;
    *) exit 2 ;;
    esac
done
shift $((OPTIND - 1))
if [ $# -lt 3 ]; then
    grep -m 1 '^#   scripts/' "$0" | sed 's/^# */usage: /' >&2
    exit 2
fi
fail() {
    echo "run-study-slurm: $*" >&2
    exit 2
}
[[ "$tasks" =~ ^[1-9][0-9]*$ ]] || fail "-n takes a number of tasks of 1 or more, not \"$tasks\""
[ -n "$program" ] || fail "-b takes a program"
out="$(realpath -m "$1")"
points="$2"
template="$3"
shift 3
for file in "$points" "$template"; do
    if [ ! -f "$file" ] || [ ! -r "$file" ]; then
        fail "cannot read $file"
    fi
done
# The tasks run in the parts folder: a program given by its path is found from here.
if [[ "$program" == */* ]]; then
    program="$(realpath -m -s "$program")"
fi
command -v sbatch >/dev/null || fail "sbatch is missing: is Slurm installed here?"

parts="${out%.csv}.parts"
array=""
array_waiter=""
merge=""
merge_waiter=""
finished=""
staging=""
# The parts folder goes at the end unless asked to keep it, or the jobs still use it.
# shellcheck disable=SC2317 # run by the trap
end() {
    [ -z "$staging" ] || rm -rf "$staging" # gone already once it is the parts folder
    if [ -n "$array" ] && [ -z "$finished" ]; then
        kill ${array_waiter:+"$array_waiter"} ${merge_waiter:+"$merge_waiter"} 2>/dev/null || true
        echo "run-study-slurm: interrupted; the jobs go on (scancel $array${merge:+ $merge} stops them)," \
            "$parts is kept" >&2
    elif [ -z "$keep" ]; then
        rm -rf "$parts"
    fi
}
trap end EXIT
trap 'exit 2' INT TERM HUP

# The copies are made first: the points file or the template may be in the parts folder of a run
# before, kept with -k.
staging="$(mktemp -d "$parts.XXXXXX")" || fail "cannot make a folder beside $out"
if ! cp "$points" "$staging/points.csv" || ! cp "$template" "$staging/template.bal"; then
    rm -rf "$staging"
    fail "cannot copy the points file and the template to $staging"
fi
rm -rf "$parts"
mv "$staging" "$parts" || { rm -rf "$staging"; fail "cannot make the folder $parts"; }
actions=""
for a in "$@"; do
    actions+=" $(printf '%q' "$a")"
done
program_text="$(printf '%q' "$program")"

# One shard a task, which leaves its status in status-K: exit status 1 (a failed point) is a result
# that the merged table shows; a task that leaves none did not end by itself.
cat >"$parts/shard.sh" <<SHARD
#!/usr/bin/env bash
cd $(printf '%q' "$parts") || exit 2
$program_text --study points.csv --shard "\$SLURM_ARRAY_TASK_ID/$tasks"$actions template.bal \\
    > "part-\$SLURM_ARRAY_TASK_ID.csv"
s=\$?
echo "\$s" > "status-\$SLURM_ARRAY_TASK_ID"
exit \$(( s > 1 ? s : 0 ))
SHARD
merge_parts=""
for k in $(seq 1 "$tasks"); do
    merge_parts+=" part-$k.csv"
done
cat >"$parts/merge.sh" <<MERGE
#!/usr/bin/env bash
cd $(printf '%q' "$parts") || exit 2
$program_text --merge $(printf '%q' "$out")$merge_parts
s=\$?
echo "\$s" > merge-status
exit \$s
MERGE

# The last lines of a log, indented, on standard error.
show_log() {
    if [ -s "$1" ]; then
        echo "  the end of $(basename "$1"):" >&2
        tail -n 5 "$1" | sed 's/^/    /' >&2
    fi
}

# Submits a job (NAME, then sbatch's options and the script) with sbatch --wait in the background,
# which ends once the job has ended (every task of an array), with its status the highest of theirs.
# Sets job to the job's number, printed as soon as the job is accepted, and waiter to that sbatch;
# fails with sbatch's message when the job is refused.
submit() {
    local name="$1" s=0
    shift
    : >"$parts/$name.id"
    sbatch --wait --parsable "$@" >"$parts/$name.id" 2>"$parts/$name.err" &
    waiter=$!
    # A whole line: the number is written at once, with its end of line.
    until [ "$(wc -l <"$parts/$name.id")" -ge 1 ]; do
        if ! kill -0 "$waiter" 2>/dev/null; then
            wait "$waiter" || s=$?
            [ "$(wc -l <"$parts/$name.id")" -ge 1 ] && break
            echo "run-study-slurm: sbatch did not take the $name job (status $s):" >&2
            sed 's/^/  /' "$parts/$name.err" >&2
            return 1
        fi
        sleep 0.2
    done
    job="$(head -n 1 "$parts/$name.id")"
    job="${job%%;*}"
}
submit array "${sbatch_options[@]}" --job-name=ambrel-study --array="1-$tasks" \
    --output="$parts/task-%a.log" "$parts/shard.sh" || exit 2
array="$job" array_waiter="$waiter"
echo "run-study-slurm: job array $array, $tasks tasks; the merge waits for it" >&2

# The merge runs once every task has ended well; a failed task cancels it.
merge_status=0
if submit merge "${sbatch_options[@]}" --job-name=ambrel-study-merge \
    --dependency="afterok:$array" --kill-on-invalid-dep=yes --output="$parts/merge.log" \
    "$parts/merge.sh"; then
    merge="$job" merge_waiter="$waiter"
    wait "$merge_waiter" || merge_status=$?
fi
if [ ! -f "$parts/merge-status" ]; then
    # The merge did not run: the tasks still to come are of no use.
    scancel "$array" 2>/dev/null || true
fi
array_status=0
wait "$array_waiter" || array_status=$?
finished=yes
# The merge refused: the tasks were cancelled, which is no fault of theirs.
[ -n "$merge" ] || exit 2

failed=0
for k in $(seq 1 "$tasks"); do
    s="$(cat "$parts/status-$k" 2>/dev/null || true)"
    if ! [[ "$s" =~ ^[0-9]+$ ]]; then
        echo "run-study-slurm: task $k of array $array left no status (it failed to start, was cancelled or killed)" >&2
    elif [ "$s" -gt 1 ]; then
        echo "run-study-slurm: task $k of array $array failed (status $s)" >&2
    else
        continue
    fi
    show_log "$parts/task-$k.log"
    failed=$((failed + 1))
done
if [ "$failed" -gt 0 ]; then
    echo "run-study-slurm: $failed of $tasks tasks failed (the array's status $array_status); $out is not written" >&2
    exit 2
fi
s="$(cat "$parts/merge-status" 2>/dev/null || true)"
if ! [[ "$s" =~ ^[0-9]+$ ]]; then
    echo "run-study-slurm: the merge (job $merge) did not run or was killed (sbatch status $merge_status)" >&2
    show_log "$parts/merge.log"
    exit 2
fi
if [ "$s" -gt 1 ] || [ ! -f "$out" ]; then
    echo "run-study-slurm: the merge (job $merge) failed (status $s); $out is not written" >&2
    show_log "$parts/merge.log"
    exit 2
fi
if [ "$s" -eq 1 ]; then
    echo "run-study-slurm: a point failed; $out says which" >&2
fi
exit "$s"
