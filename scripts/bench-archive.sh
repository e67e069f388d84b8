#!/usr/bin/env bash
# The portable archive's start-up against the build tree's player, measured one right after the
# other: the time from executing each to the end of its first presented frame, RUNS times each,
# alternating. The archive is started as a viewer starts it (./quarn, the launcher), the build
# tree's player from its run directory (build-release/run, which scripts/release.sh builds).
#
#   scripts/bench-archive.sh dist/quarn-1.0.1-linux-x86_64.tar.gz [RUNS]
set -euo pipefail
cd "$(dirname "$0")/.."

archive=$(readlink -f "${1:?usage: scripts/bench-archive.sh ARCHIVE.tar.gz [RUNS]}")
runs=${2:-5}
if [[ -z ${DISPLAY:-} ]]; then exec "$PWD/scripts/headless.sh" "$PWD/scripts/bench-archive.sh" "$archive" "$runs"; fi
tree=$PWD/build-release/run
[[ -x $tree/QuarnEngine ]] || { echo "no $tree/QuarnEngine: run scripts/release.sh first" >&2; exit 1; }

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
tar -xzf "$archive" -C "$scratch"
unpacked=("$scratch"/quarn-*)
source scripts/lib/first-frame.sh
build_probe "$scratch"

echo "load average: $(cut -d' ' -f1-3 /proc/loadavg)"
printf '%-4s %14s %14s\n' run "archive (ms)" "tree (ms)"
: >"$scratch/archive.ms"
: >"$scratch/tree.ms"
for ((run = 1; run <= runs; run++)); do
  a=$(first_frame "$scratch/probe.so" "${unpacked[0]}" ./quarn)
  t=$(first_frame "$scratch/probe.so" "$tree" ./QuarnEngine)
  echo "$a" >>"$scratch/archive.ms"
  echo "$t" >>"$scratch/tree.ms"
  printf '%-4s %14s %14s\n' "$run" "$a" "$t"
done
printf '%-4s %14s %14s\n' median "$(median <"$scratch/archive.ms")" "$(median <"$scratch/tree.ms")"
echo "load average: $(cut -d' ' -f1-3 /proc/loadavg)"
