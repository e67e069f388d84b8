#!/usr/bin/env bash
# The Windows player's start-up under Wine against the Linux player's, measured one right after
# the other, RUNS times each, alternating, both in the normal build's data: the time from
# executing each to its first presented frame, and the ratio of the medians.
#
#   scripts/bench-windows.sh [RUNS]
#
# The Linux player is timed by the preloaded probe. Wine calls GLX through pointers of its own,
# past any preload, so the Windows player's first frame is read from Wine's trace of its first
# wglSwapBuffers instead, stamped with the same monotonic clock as the moment of the exec.
set -euo pipefail
cd "$(dirname "$0")/.."

runs=${1:-5}
if [[ -z ${DISPLAY:-} ]]; then exec "$PWD/scripts/headless.sh" "$PWD/scripts/bench-windows.sh" "$runs"; fi
linux_run=$PWD/build/run
windows_run=$PWD/build-windows/run
[[ -x $windows_run/QuarnEngine.exe ]] || { echo "no $windows_run/QuarnEngine.exe: run ./run.sh --windows first" >&2; exit 1; }
export WINEPREFIX=${WINEPREFIX:-$PWD/build-windows/wine-prefix} ALSOFT_DRIVERS=${ALSOFT_DRIVERS:-null}

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
source scripts/lib/first-frame.sh
build_probe "$scratch"

monotonic_ms() { python3 -c 'import time; print(time.clock_gettime(time.CLOCK_MONOTONIC_RAW) * 1000)'; }

# Wine stamps its trace lines with seconds of the raw monotonic clock. The player is ended once
# it has shown its first frame, as the probe ends the Linux player.
windows_first_frame() {
  local start trace=$scratch/trace.txt player
  : >"$trace"
  start=$(monotonic_ms)
  (cd "$windows_run" && WINEDEBUG=+timestamp,+wgl exec wine ./QuarnEngine.exe 2>"$trace") &
  player=$!
  for _ in $(seq 1 600); do
    grep -q wglSwapBuffers "$trace" && break
    sleep 0.1
  done
  kill "$player" 2>/dev/null || true
  wait "$player" 2>/dev/null || true
  awk -v start="$start" -F: '/wglSwapBuffers/ { printf "%.1f\n", $1 * 1000 - start; exit }' "$trace"
}

# Wine itself is up before the first run, as Windows is before a viewer starts the demo.
wineserver -p 2>/dev/null || true
wine wineboot >/dev/null 2>&1

echo "load average: $(cut -d' ' -f1-3 /proc/loadavg)"
printf '%-4s %14s %14s\n' run "Windows (ms)" "Linux (ms)"
: >"$scratch/windows.ms"
: >"$scratch/linux.ms"
for ((run = 1; run <= runs; run++)); do
  w=$(windows_first_frame)
  l=$(first_frame "$scratch/probe.so" "$linux_run" ./QuarnEngine)
  echo "$w" >>"$scratch/windows.ms"
  echo "$l" >>"$scratch/linux.ms"
  printf '%-4s %14s %14s\n' "$run" "$w" "$l"
done
w=$(median <"$scratch/windows.ms")
l=$(median <"$scratch/linux.ms")
printf '%-4s %14s %14s\n' median "$w" "$l"
wineserver -k 2>/dev/null || true
echo "Windows under Wine / Linux: $(awk -v w="$w" -v l="$l" 'BEGIN { printf "%.2f", w / l }')"
echo "load average: $(cut -d' ' -f1-3 /proc/loadavg)"
