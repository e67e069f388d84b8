#!/usr/bin/env bash
# scripts/local-cluster.sh as a careless user drives it: a relative folder with a space in its
# name, the printed export evaluated as the script says, and a start after slurmd was killed
# under a running job, which must end that job's processes rather than orphan them.
#
#   local_cluster_test.sh SCRIPT
set -u
script=$1

scratch=$(mktemp -d /tmp/quarn-lc.XXXXXX)
# munged wants every folder above its socket open to all for search.
chmod 755 "$scratch"
cd "$scratch" || exit 1
export QUARN_CLUSTER_DIR="lc dir"
cleanup() {
  "$script" stop >/dev/null 2>&1
  rm -rf "$scratch"
}
trap cleanup EXIT

# Gone, or a zombie: an orphan's end is reaped by whoever adopts it, which need not be quick.
ended() {
  [[ $(ps -o stat= -p "$1") != [^Z]* ]]
}

failures=0
check() {
  local what=$1
  shift
  if "$@" >/dev/null; then
    echo "ok: $what"
  else
    echo "FAILED: $what"
    failures=$((failures + 1))
  fi
}

started=$(timeout 60 "$script" start) || { echo "FAILED: start in a relative folder with a space"; exit 1; }
eval "$started"
check "the export names the absolute folder" test "$SLURM_CONF" = "$scratch/lc dir/slurm.conf"
check "the cluster takes jobs" sinfo -h

# The job names its own process, which no other sleep on this machine can be taken for.
sbatch --output=/dev/null --wrap "echo \$\$ >'$scratch/job.pid'; exec sleep 300" >/dev/null
for _ in $(seq 300); do
  [[ -s $scratch/job.pid ]] && break
  sleep 0.1
done
sleeper=$(cat "$scratch/job.pid" 2>/dev/null)
check "the job runs" test -d "/proc/${sleeper:-none}"

kill -KILL "$(<"lc dir/run/slurmd.pid")"
sleep 0.5
timeout 60 "$script" start >/dev/null 2>&1
check "a restart after slurmd died ends the job's processes" ended "$sleeper"
check "the restarted cluster takes jobs" sinfo -h

"$script" stop >/dev/null 2>&1
check "stop leaves no daemon of this cluster" \
  test -z "$(pgrep -u "$(id -u)" -f "$scratch/lc dir/slurm.conf")"

[[ $failures -eq 0 ]]
