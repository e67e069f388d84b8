#!/usr/bin/env bash
# A Slurm cluster of one node, this machine, run by the current user (root or not) from a folder
# of its own: munged, slurmctld and slurmd on free ports, with their own key, configuration,
# state, spool and logs. Nothing of the system's munge or Slurm services or /etc is used, so it
# runs beside them, and anywhere the packages are installed (scripts/install-deps.sh).
#
#   scripts/local-cluster.sh start    starts it; prints "export SLURM_CONF=..." on stdout, so that
#                                     eval "$(scripts/local-cluster.sh start)" points the shell at it
#   scripts/local-cluster.sh status   says what runs; exits 0 only when all three do
#   scripts/local-cluster.sh stop     cancels its jobs, stops the daemons by their pids
#
# The folder is $QUARN_CLUSTER_DIR, by default /tmp/quarn-cluster-UID. Its path must stay short:
# munge's socket lies in it, and a socket's path holds 107 bytes at most.
set -euo pipefail

# Absolute, whatever the caller gave: the daemons change their working folder, and a relative path
# in slurm.conf would name another place for each of them.
dir=$(realpath -m -- "${QUARN_CLUSTER_DIR:-/tmp/quarn-cluster-$(id -u)}")
conf=$dir/slurm.conf
socket=$dir/munge/socket
daemons=(munged slurmctld slurmd)

say() { echo "local-cluster: $*" >&2; }
fail() {
  say "$*"
  exit 1
}

pid_file() { echo "$dir/run/$1.pid"; }

# The daemon's pid, when its pid file names a live process of that program.
running_pid() {
  local file pid
  file=$(pid_file "$1")
  [[ -r $file ]] || return 1
  pid=$(<"$file")
  [[ $pid =~ ^[0-9]+$ ]] || return 1
  [[ "$(cat "/proc/$pid/comm" 2>/dev/null)" == "$1"* ]] || return 1
  # A daemon killed under a parent that does not reap stays a zombie with its name.
  [[ "$(ps -o stat= -p "$pid" 2>/dev/null)" != Z* ]] || return 1
  echo "$pid"
}

# The local ports of every TCP socket, from the kernel's tables (hexadecimal after the colon).
used_ports() {
  local file address
  for file in /proc/net/tcp /proc/net/tcp6; do
    [[ -r $file ]] || continue
    while read -r _ address _; do
      if [[ $address == *:* ]]; then echo $((16#${address##*:})); fi
    done < <(tail -n +2 "$file")
  done
}

# A TCP port that nothing on this machine holds, listening or not, nor `also_taken`, picked at
# random so that clusters started side by side rarely try the same one.
free_port() {
  local also_taken=${1:-} used port
  used=$(used_ports)
  for _ in $(seq 200); do
    port=$((20000 + RANDOM % 40000))
    if [[ $port != "$also_taken" ]] && ! grep -qx "$port" <<<"$used"; then
      echo "$port"
      return 0
    fi
  done
  fail "no free TCP port found"
}

check_tools() {
  local missing=()
  for tool in munged mungekey slurmctld slurmd sbatch squeue scancel sinfo; do
    command -v "$tool" >/dev/null || missing+=("$tool")
  done
  [[ ${#missing[@]} -eq 0 ]] || fail "not installed: ${missing[*]}; scripts/install-deps.sh installs Slurm and munge"
}

write_config() {
  local user node ctld_port slurmd_port
  user=$(id -un)
  # This machine's real processors and memory, as slurmd itself finds them: a node configured
  # with more than it has is drained at once.
  node=$(slurmd -C | head -n 1 | sed 's/^NodeName=[^ ]*//')
  ctld_port=$(free_port)
  slurmd_port=$(free_port "$ctld_port")
  : >"$dir/plugstack.conf"
  cat >"$conf" <<EOF
# Written by scripts/local-cluster.sh; rewritten at every start.
ClusterName=quarn-local
SlurmctldHost=$(hostname -s)(127.0.0.1)
SlurmctldPort=$ctld_port
SlurmdPort=$slurmd_port
SlurmUser=$user
SlurmdUser=$user
AuthType=auth/munge
CredType=cred/munge
AuthInfo="socket=$socket"
StateSaveLocation="$dir/state"
SlurmdSpoolDir="$dir/spool"
SlurmctldPidFile="$(pid_file slurmctld)"
SlurmdPidFile="$(pid_file slurmd)"
SlurmctldLogFile="$dir/log/slurmctld.log"
SlurmdLogFile="$dir/log/slurmd.log"
PlugStackConfig="$dir/plugstack.conf"
# No cgroups: containers and ordinary users rarely may create them. Processes are tracked by
# their parentage, which is enough for one user's jobs on one machine.
ProctrackType=proctrack/linuxproc
TaskPlugin=task/none
JobAcctGatherType=jobacct_gather/none
AccountingStorageType=accounting_storage/none
MpiDefault=none
SelectType=select/cons_tres
SelectTypeParameters=CR_Core
ReturnToService=2
# Scheduled within a second of a submission or an ending, so that tests do not wait on it.
SchedulerParameters=sched_interval=1,sched_min_interval=100000
MinJobAge=600
NodeName=local NodeHostname=$(hostname -s) NodeAddr=127.0.0.1$node State=UNKNOWN
PartitionName=local Nodes=local Default=YES MaxTime=INFINITE State=UP
EOF
}

start_munge() {
  mkdir -p "$dir/munge"
  [[ -s $dir/munge/key ]] || mungekey --create --keyfile="$dir/munge/key" --bits=1024
  chmod 600 "$dir/munge/key"
  munged --socket="$socket" --key-file="$dir/munge/key" --pid-file="$(pid_file munged)" \
    --log-file="$dir/log/munged.log" --seed-file="$dir/munge/seed" ||
    fail "munged did not start; see $dir/log/munged.log"
}

# Until the node takes jobs: slurmd registers with slurmctld within a second or two.
wait_for_node() {
  local state
  for _ in $(seq 100); do
    state=$(SLURM_CONF=$conf sinfo -h -n local -o %t 2>/dev/null || true)
    [[ $state == idle* || $state == mix* || $state == alloc* ]] && return 0
    sleep 0.2
  done
  fail "the node did not come up (state \"${state:-none}\"); see $dir/log/slurmd.log and slurmctld.log"
}

# Quoted for the shell, so that eval "$(... start)" holds any folder.
print_export() {
  echo "export SLURM_CONF=$(printf %q "$conf")"
}

start() {
  check_tools
  if all_running; then
    say "already running in $dir"
    print_export
    return 0
  fi
  end_jobs
  stop_daemons
  # A start that fails half way leaves nothing running.
  trap stop_daemons EXIT
  [[ ${#dir} -le 80 ]] || fail "the folder's path is too long for munge's socket: $dir"
  # slurm.conf quotes the paths, so a space is fine; a quote, a comment sign or a line break
  # would end the value early.
  [[ $dir != *[\"#$'\n']* ]] || fail "the folder's path holds a quote, a # or a line break, which slurm.conf cannot: $dir"
  # munged wants its socket's folders open to all for search; the key stays the user's own.
  umask 022
  mkdir -p "$dir"/{run,log,state,spool}
  rm -rf "${dir:?}"/state/* "${dir:?}"/spool/*
  write_config
  start_munge
  # -c: no jobs of an earlier start come back.
  slurmctld -f "$conf" -c || fail "slurmctld did not start; see $dir/log/slurmctld.log"
  slurmd -f "$conf" -N local || fail "slurmd did not start; see $dir/log/slurmd.log"
  wait_for_node
  trap - EXIT
  say "running in $dir: $(SLURM_CONF=$conf sinfo -h -o 'node %N, %c CPUs, %m MB')"
  print_export
}

all_running() {
  for daemon in "${daemons[@]}"; do
    running_pid "$daemon" >/dev/null || return 1
  done
}

# TERM, then KILL for whatever still runs after five seconds; by pid only.
stop_daemon() {
  local pid
  pid=$(running_pid "$1") || return 0
  kill -TERM "$pid" 2>/dev/null || true
  for _ in $(seq 50); do
    [[ -d /proc/$pid ]] || return 0
    sleep 0.1
  done
  say "$1 (pid $pid) did not stop; killing it"
  kill -KILL "$pid" 2>/dev/null || true
}

# Every process of this cluster's jobs: each slurmstepd started for it (it carries the cluster's
# SLURM_CONF) and all that descends from one, deepest first.
job_processes() {
  local stepd
  for stepd in $(pgrep -u "$(id -u)" -x slurmstepd); do
    { tr '\0' '\n' <"/proc/$stepd/environ"; } 2>/dev/null | grep -qxF "SLURM_CONF=$conf" || continue
    descendants "$stepd"
    echo "$stepd"
  done
}

descendants() {
  local child
  for child in $(pgrep -P "$1"); do
    descendants "$child"
    echo "$child"
  done
}

# The jobs end before the daemons: the processes of a job outlive slurmd otherwise. Slurm cancels
# them while both daemons live; whatever a dead slurmd left behind is ended here, so that a
# restart never leaves a task drawing outside any queue.
end_jobs() {
  if running_pid slurmctld >/dev/null && running_pid slurmd >/dev/null; then
    SLURM_CONF=$conf scancel --user="$(id -un)" 2>/dev/null || true
    for _ in $(seq 100); do
      [[ -z $(SLURM_CONF=$conf squeue -h -t running,completing -o %i 2>/dev/null) ]] && break
      sleep 0.1
    done
  fi
  local left
  left=$(job_processes)
  [[ -n $left ]] || return 0
  say "ending the processes of jobs that outlived their daemons: $(echo $left)"
  kill -TERM $left 2>/dev/null || true
  sleep 1
  kill -KILL $(job_processes) 2>/dev/null || true
}

stop_daemons() {
  for ((i = ${#daemons[@]} - 1; i >= 0; i--)); do
    stop_daemon "${daemons[i]}"
  done
}

stop() {
  [[ -d $dir ]] || return 0
  end_jobs
  stop_daemons
  say "stopped"
}

status() {
  local pid all=0
  for daemon in "${daemons[@]}"; do
    if pid=$(running_pid "$daemon"); then
      echo "$daemon: running (pid $pid)"
    else
      echo "$daemon: not running"
      all=3
    fi
  done
  if [[ $all -eq 0 ]]; then
    echo "SLURM_CONF=$conf"
    SLURM_CONF=$conf sinfo -h -o 'node %N: %t, %c CPUs, %m MB' || true
  fi
  return $all
}

case "${1:-}" in
start) start ;;
stop) stop ;;
status) status ;;
*)
  echo "usage: $0 start|stop|status" >&2
  exit 2
  ;;
esac
