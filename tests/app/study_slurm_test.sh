#!/usr/bin/env bash
# A study run as a Slurm job array of 4 tasks (scripts/run-study-slurm.sh) on a single-node Slurm
# started here, merged, is the study run at once, byte for byte. Starts munged, slurmctld and slurmd
# (Debian's munge and slurm-wlm) with a minimal configuration of its own in a temporary folder, on
# loopback ports of its own, and stops the daemons it started when it ends, also on a failure.
# Needs root (the daemons run as root here).
#   study_slurm_test.sh AMBREL_BATCH RUN_STUDY_SLURM
set -euo pipefail
batch="$(realpath "$1")"
script="$(realpath "$2")"
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
MinJobAge=300
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
cat >plates.bal <<'BAL'
* Two plates ${gap} cm apart
Qtop top 0 0 ${gap} 0 0 0 1 1
Qbottom bottom 0 0 0 0 0 0 1 1
.V top 50
.V bottom -50
BAL
printf 'gap\n0.1\n0.15\n0.2\n0.3\n0.4\n0.5\n0.7\n1\n1.5\n2\n' >gaps.csv
"$batch" --study gaps.csv --capacitances plates.bal >whole.csv
"$script" -n 4 -b "$batch" merged.csv gaps.csv plates.bal --capacitances
# Nothing is left in the queue.
[ "$(squeue -h | wc -l)" -eq 0 ]
for k in 1 2 3 4; do
    [ "$(wc -l <merged.parts/part-$k.csv)" -ge 3 ] # each task ran its shard: a header and its points
done
cmp whole.csv merged.csv
[ "$(wc -l <merged.csv)" -eq 11 ]
echo "Slurm study of 10 points in 4 tasks merged: the same table as one run ($((SECONDS - started)) s)"
