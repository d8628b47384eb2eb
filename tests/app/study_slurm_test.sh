#!/usr/bin/env bash
# SPDX-FileCopyrightText: 2026 The Ambrel developers
# SPDX-License-Identifier: GPL-3.0-or-later
# A study run as a Slurm job array of 4 tasks (scripts/run-study-slurm.sh) on a single-node Slurm
# started here, merged, is the study run at once, byte for byte; a task that fails (its program
# missing, an unknown action) ends the script with status 2, a message naming the task and the end
# of its log and no table; a failed point with status 1 and the table; no controller to submit to
# with status 2. The scratch folder OUT.parts/ is gone after each run but the one with -k. Starts
# munged, slurmctld and slurmd (Debian's munge and slurm-wlm) with a minimal configuration of its own
# in a temporary folder, on loopback ports of its own, and stops the daemons it started when it ends,
# also on a failure. Needs root (the daemons run as root here).
#   study_slurm_test.sh AMBREL_BATCH RUN_STUDY_SLURM
set -euo pipefail
batch="$(realpath "$1")"
script="$(realpath "$2")"
support="$(dirname "$(realpath "$0")")/study_script_support.sh"
template="$(realpath "$(dirname "$0")/../../examples/studies/plates_gap.bal")"
for tool in munged slurmctld slurmd sbatch; do
    command -v "$tool" >/dev/null || { echo "$tool is missing (packages munge, slurm-wlm)" >&2; exit 1; }
done
started=$SECONDS
work="$(mktemp -d /tmp/ambrel-slurm-XXXXXX)"
pids=()
stop_daemons() {
    local pid
    for pid in "${pids[@]}"; do
        kill "$pid" 2>/dev/null || true
    done
    for pid in "${pids[@]}"; do
        # Each daemon is given 10 s to end, then killed.
        for _ in $(seq 1 100); do
            kill -0 "$pid" 2>/dev/null || break
            sleep 0.1
        done
        kill -9 "$pid" 2>/dev/null || true
    done
    rm -rf "$work"
}
trap stop_daemons EXIT
chmod 755 "$work"
mkdir -p "$work/munge" "$work/state" "$work/spool" "$work/study"

# munge: a key of this test only, the daemon on a socket in the folder.
dd if=/dev/urandom of="$work/munge/munge.key" bs=1024 count=1 status=none
chmod 600 "$work/munge/munge.key"
munged --force --foreground --key-file="$work/munge/munge.key" --socket="$work/munge/socket" \
    --pid-file="$work/munge/munged.pid" --log-file="$work/munge/munged.log" \
    --seed-file="$work/munge/seed" >"$work/munge/munged.out" 2>&1 &
pids+=($!)

node="$(hostname -s)"
port=$((20000 + RANDOM % 20000))
cpus="$(nproc)"
export SLURM_CONF="$work/slurm.conf"
cat >"$SLURM_CONF" <<CONF
ClusterName=ambreltest
SlurmctldHost=$node(127.0.0.1)
SlurmUser=root
SlurmdUser=root
AuthType=auth/munge
AuthInfo=socket=$work/munge/socket
CredType=cred/munge
SlurmctldPort=$port
SlurmdPort=$((port + 1))
StateSaveLocation=$work/state
SlurmdSpoolDir=$work/spool
SlurmctldPidFile=$work/slurmctld.pid
SlurmdPidFile=$work/slurmd.pid
SlurmctldLogFile=$work/slurmctld.log
SlurmdLogFile=$work/slurmd.log
ProctrackType=proctrack/linuxproc
TaskPlugin=task/none
JobAcctGatherType=jobacct_gather/none
AccountingStorageType=accounting_storage/none
SchedulerType=sched/builtin
SelectType=select/cons_tres
SelectTypeParameters=CR_CPU
MpiDefault=none
ReturnToService=2
SlurmdTimeout=30
InactiveLimit=0
# sbatch --wait looks at its job after 2 s, then 8 s and 32 s later, unless finished jobs' records
# may go sooner than that: with records kept 4 s it looks every 2 s. Jobs start at once, not after
# up to 3 s of batching.
MinJobAge=4
SchedulerParameters=batch_sched_delay=0
NodeName=$node NodeAddr=127.0.0.1 CPUs=$cpus RealMemory=1000 State=UNKNOWN
PartitionName=test Nodes=$node Default=YES MaxTime=INFINITE State=UP
CONF
for _ in $(seq 1 50); do
    [ -S "$work/munge/socket" ] && break
    sleep 0.1
done
slurmctld -D -i -f "$SLURM_CONF" >"$work/slurmctld.out" 2>&1 &
pids+=($!)
slurmd -D -f "$SLURM_CONF" -N "$node" >"$work/slurmd.out" 2>&1 &
pids+=($!)
# The node is up once slurmctld hears slurmd.
up=""
for _ in $(seq 1 300); do
    if sinfo -h -N -o "%t" 2>/dev/null | grep -Eq '^(idle|mix|alloc)'; then
        up=yes
        break
    fi
    sleep 0.1
done
if [ -z "$up" ]; then
    echo "the Slurm node did not come up:" >&2
    tail -n 20 "$work"/slurmctld.log "$work"/slurmd.log "$work"/*.out >&2 || true
    exit 1
fi
echo "Slurm up after $((SECONDS - started)) s"

cd "$work/study"
cp "$template" plates.bal # the shipped template of two plates ${gap} cm apart
printf 'gap\n0.1\n0.15\n0.2\n0.3\n0.4\n0.5\n0.7\n1\n1.5\n2\n' >gaps.csv
# A point whose gap is no number: with --strict the reader fails it.
printf 'gap\n0.1\n0.15\nabc\n0.3\n' >gaps_abc.csv
# study NAME STATUS ARGS...: the script run, its status checked.
source "$support"
# Fails when the study NAME left its scratch folder (or a folder of its making beside it).
no_parts() {
    if compgen -G "$1.parts*" >/dev/null; then
        echo "run-study-slurm left $(compgen -G "$1.parts*")" >&2
        exit 1
    fi
}
# Fails unless NAME.err holds TEXT.
says() {
    grep -qF -- "$2" "$1.err" || { echo "no \"$2\" in what run-study-slurm said:" >&2; cat "$1.err" >&2; exit 1; }
}

"$batch" --study gaps.csv --capacitances plates.bal >whole.csv
# The program by a relative path: the tasks, which run in the parts folder, find it all the same.
study merged 0 -k -n 4 -b "$(realpath --relative-to=. "$batch")" merged.csv gaps.csv plates.bal --capacitances
for k in 1 2 3 4; do
    [ "$(wc -l <merged.parts/part-$k.csv)" -ge 3 ] # each task ran its shard: a header and its points
done
cmp whole.csv merged.csv
[ "$(wc -l <merged.csv)" -eq 11 ]
echo "Slurm study of 10 points in 4 tasks merged: the same table as one run ($((SECONDS - started)) s)"

# Tasks that fail: status 2, the task and its log named, no table.
study missing 2 -n 2 -b ./no-such-program missing.csv gaps.csv plates.bal --capacitances
[ ! -e missing.csv ]
no_parts missing
says missing "task 1 of array"
says missing "no-such-program: No such file or directory"
study unknown 2 -n 2 -b "$batch" unknown.csv gaps.csv plates.bal --no-such-action
[ ! -e unknown.csv ]
no_parts unknown
says unknown "task 2 of array"
says unknown "unknown argument: --no-such-action"

# A failed point: status 1 and the table that says which.
study failed 1 -n 2 -b "$batch" failed.csv gaps_abc.csv plates.bal --capacitances --strict
[ "$(wc -l <failed.csv)" -eq 5 ]
grep -q '^3,abc,failed,' failed.csv
[ "$(grep -c ',ok,' failed.csv)" -eq 3 ]
no_parts failed

# No controller to submit to (nobody listens on its port): status 2 at once, nothing left.
sed -e "s/^SlurmctldPort=.*/SlurmctldPort=$((port + 2))/" "$SLURM_CONF" >"$work/no-controller.conf"
echo "MessageTimeout=2" >>"$work/no-controller.conf"
SLURM_CONF="$work/no-controller.conf" study nocontroller 2 -n 2 -b "$batch" nocontroller.csv gaps.csv plates.bal --capacitances
[ ! -e nocontroller.csv ]
no_parts nocontroller
says nocontroller "sbatch did not take the array job"

# Nothing is left in the queue.
[ "$(squeue -h | wc -l)" -eq 0 ]
echo "Slurm studies with failed tasks, a failed point and no controller: the statuses 2, 1, 2 ($((SECONDS - started)) s)"
