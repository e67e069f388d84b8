#!/usr/bin/env bash
# Builds the Release tree with the benchmarks and prints every performance figure: the machine,
# the start-up and its parts, the effects' per-frame processor work, the frame time of each
# section, the beat clock's steps and the player's peak memory over a whole run.
#
#   scripts/bench.sh           the full set (about ten minutes on a software rasteriser)
#   scripts/bench.sh --quick   every program briefly, to see that they run
set -euo pipefail
cd "$(dirname "$0")/.."

quick=0
[[ "${1:-}" == "--quick" ]] && quick=1

build=build-bench
scripts/install-deps.sh
# The tests are built and run by test.sh; here they would only cost build time.
cmake --preset bench >/dev/null
cmake --build --preset bench -j"$(nproc)"
run="$PWD/$build/run"
headless=("$PWD/scripts/headless.sh")

section() { printf '\n== %s ==\n' "$1"; }

section "Machine"
lscpu | grep -E '^(Model name|CPU\(s\)|Thread|Core|Socket|CPU max MHz)' || true
free -g | head -2
echo "load average: $(cut -d' ' -f1-3 /proc/loadavg)"

section "Start-up (the GL renderer string is printed with it)"
"${headless[@]}" "$build/bench/quarn_bench_startup"

section "Per-frame processor work of the effects (no GL)"
if [[ $quick -eq 1 ]]; then
  "$build/bench/quarn_bench" --benchmark_min_time=0.01
else
  "$build/bench/quarn_bench" --benchmark_repetitions=5 --benchmark_report_aggregates_only=true
fi

section "Frame time per section"
if [[ $quick -eq 1 ]]; then
  "${headless[@]}" "$build/bench/quarn_bench_frames" --frames 2 --until-beat 32
else
  "${headless[@]}" "$build/bench/quarn_bench_frames" --frames 20
fi

section "Beat clock"
"${headless[@]}" "$build/bench/quarn_bench_clock" --seconds "$([[ $quick -eq 1 ]] && echo 1 || echo 10)"

section "The timeline's guarded save against a text editor saving continuously"
seconds=$([[ $quick -eq 1 ]] && echo 1 || echo 10)
"$build/bench/quarn_bench_saves" --seconds "$seconds"
"$build/bench/quarn_bench_saves" --seconds "$seconds" --in-place
QUARN_SAVE_IN_PLACE=1 "$build/bench/quarn_bench_saves" --seconds "$seconds"
QUARN_SAVE_EXCHANGE=none "$build/bench/quarn_bench_saves" --seconds "$seconds"

section "Peak memory of the player"
if [[ ! -x /usr/bin/time ]]; then
  echo "GNU time is needed for this figure: sudo apt-get install time"
  exit 0
fi
# The whole run, from its own run directory; --quick stops it after ten seconds.
limit=()
[[ $quick -eq 1 ]] && limit=(timeout -s INT 10)
report=$(mktemp)
trap 'rm -f "$report"' EXIT
# time runs inside the virtual display, so the X server's memory is not counted as the player's.
(cd "$run" && "${headless[@]}" "${limit[@]}" /usr/bin/time -v -o "$report" ./QuarnEngine) || true
grep -E 'Maximum resident set size|Elapsed \(wall clock\)|Exit status' "$report"
