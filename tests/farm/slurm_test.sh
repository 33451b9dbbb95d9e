#!/bin/sh
# A real single-node Slurm cluster on this machine (its own munge key, slurm.conf, ports and
# state in a temporary folder, stopped at the end): the showcase goes through tarvo-farm as 4
# tiles and a merge job, and the merged frame is the whole render's, byte for byte.
#   slurm_test.sh BINDIR WORKDIR        (exit 77: skipped, not root or Slurm not installed)
set -eu
bin=$1
out=$2/farm-slurm
[ "$(id -u)" -eq 0 ] || { echo "skipped: the cluster's daemons run as root"; exit 77; }
for program in munged slurmctld slurmd sbatch; do
  command -v $program >/dev/null || { echo "skipped: no $program (scripts/install-deps.sh slurm)"; exit 77; }
done
rm -rf "$out" && mkdir -p "$out"
# A short path: the munge socket's name must fit a socket address.
state=$(mktemp -d /tmp/tarvo-slurm.XXXXXX)
chmod 755 "$state"
pids=""
jobs=""
stop() {
  [ -z "$jobs" ] || scancel $jobs 2>/dev/null || true
  for pid in $pids; do kill "$pid" 2>/dev/null || true; done
  for pid in $pids; do wait "$pid" 2>/dev/null || true; done
  # munged is no child to wait for, and it writes its seed file into the folder as it ends.
  munge=$(cat "$state/munged.pid" 2>/dev/null || true)
  if [ -n "$munge" ] && kill "$munge" 2>/dev/null; then
    for _ in $(seq 50); do kill -0 "$munge" 2>/dev/null || break; sleep 0.1; done
  fi
  rm -rf "$state"
}
trap stop EXIT
trap 'exit 1' INT TERM
fail() {
  echo "FAIL: $*" >&2
  tail -n 20 "$state"/*.log "$out"/frame.exr.farm/*.log >&2 2>/dev/null || true
  exit 1
}

dd if=/dev/urandom of="$state/munge.key" bs=1024 count=1 2>/dev/null
chmod 400 "$state/munge.key"
munged --key-file="$state/munge.key" --socket="$state/munge.sock" --pid-file="$state/munged.pid" \
  --log-file="$state/munged.log" --seed-file="$state/munged.seed"
# Ports of this run's own, so clusters of checkouts tested side by side do not meet.
port=$((20000 + $$ % 20000 * 2))
node=$(hostname -s)
cat > "$state/slurm.conf" <<CONF
ClusterName=tarvotest
SlurmctldHost=$node(127.0.0.1)
SlurmctldPort=$port
SlurmdPort=$((port + 1))
SlurmUser=root
SlurmdUser=root
AuthType=auth/munge
AuthInfo=socket=$state/munge.sock
CredType=cred/munge
StateSaveLocation=$state
SlurmdSpoolDir=$state/spool
SlurmctldPidFile=$state/slurmctld.pid
SlurmdPidFile=$state/slurmd.pid
SlurmctldLogFile=$state/slurmctld.log
SlurmdLogFile=$state/slurmd.log
# No cgroups in a container: processes are tracked by their parents, tasks are not bound.
ProctrackType=proctrack/linuxproc
TaskPlugin=task/none
MpiDefault=none
JobCompType=jobcomp/none
AccountingStorageType=accounting_storage/none
SchedulerType=sched/builtin
SchedulerParameters=sched_interval=1
SelectType=select/cons_tres
SelectTypeParameters=CR_Core
ReturnToService=2
# Four tiles at once on any machine: the node claims more CPUs than it may have.
SlurmdParameters=config_overrides
NodeName=$node NodeAddr=127.0.0.1 CPUs=4 RealMemory=1000 State=UNKNOWN
PartitionName=test Nodes=ALL Default=YES MaxTime=INFINITE State=UP
CONF
export SLURM_CONF="$state/slurm.conf"
slurmctld -D -f "$SLURM_CONF" >"$state/slurmctld.out" 2>&1 &
pids="$!"
slurmd -D -f "$SLURM_CONF" >"$state/slurmd.out" 2>&1 &
pids="$pids $!"
for _ in $(seq 60); do
  [ "$(sinfo -h -o %T 2>/dev/null)" = idle ] && break
  sleep 0.5
done
[ "$(sinfo -h -o %T 2>/dev/null)" = idle ] || fail "the node did not come up"

size="-W 160 -H 90 -s 4"
submitted=$("$bin/tarvo-farm" submit -o "$out/frame.exr" --tiles 4 $size --time=5 --single-node) ||
  fail "tarvo-farm submit: $submitted"
echo "$submitted"
render=$(echo "$submitted" | sed -n 's/^render job \([0-9]*\):.*/\1/p')
merge=$(echo "$submitted" | sed -n 's/^merge job \([0-9]*\):.*/\1/p')
jobs="$render $merge"
for _ in $(seq 240); do
  merged=$(scontrol show job -o "$merge" | sed -n 's/.*JobState=\([A-Z_]*\).*/\1/p')
  case $merged in PENDING | RUNNING | CONFIGURING | COMPLETING) sleep 0.5 ;; *) break ;; esac
done
[ "$merged" = COMPLETED ] || fail "the merge job ended $merged"
"$bin/tarvo-farm" status "$render" | grep -q "4 tasks: 4 done, 0 running, 0 pending, 0 failed" ||
  fail "tarvo-farm status: $("$bin/tarvo-farm" status "$render")"
"$bin/tarvo-render" $size -q -o "$out/whole.exr"
cmp "$out/whole.exr" "$out/frame.exr" || fail "the merged frame differs from the whole render"
[ -z "$(ls "$out"/frame.exr.farm/*.exr 2>/dev/null)" ] || fail "the tiles were left behind"
echo "4 tiles on Slurm merged into the whole render, byte for byte"
