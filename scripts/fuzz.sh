#!/usr/bin/env bash
# Fuzzes every loader, and the timeline editor's edits, for SECONDS each (default 600), one target after another on one core,
# and prints one line per target: executions, seconds and findings. A crash, a hang (an input
# taking over 10 s) or running out of memory (over 512 MB) is a finding; its reproducer is kept
# under build-fuzz/findings/ and named here. Exits non-zero when anything was found.
# Needs the normal build's generated data (build/run), which seeds the corpora.
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=${1:-600}
[[ "$seconds" =~ ^[1-9][0-9]*$ ]] || { echo "usage: scripts/fuzz.sh [SECONDS]" >&2; exit 2; }
root=$PWD
build=$root/build-fuzz
targets=(track_file model_file ogg_decode image_decode cube_cross timeline_edit)

if [[ ! -d build/run/sync ]]; then
  cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
  cmake --build build -j"$(nproc)" --target quarn_content_data
fi
CC=clang CXX=clang++ cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQUARN_BUILD_FUZZ=ON \
  -DQUARN_FUZZ_SEED_DATA="$root/build/run" >/dev/null
cmake --build "$build" -j"$(nproc)" >/dev/null

# libvorbisfile keeps 8 bytes when ov_fopen fails on a file it cannot open as Vorbis; that leak
# is the library's own, and the only one let through.
export LSAN_OPTIONS=suppressions=$root/fuzz/lsan.supp:print_suppressions=0
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
# The memory bound is for the loaders: AddressSanitizer's default quarantine of freed memory
# (256 MiB) alone took the targets to 458 MB of the 512. A quarter of it still holds back what the
# last inputs freed (many, for all but the largest pictures), so a use after free is still caught.
export ASAN_OPTIONS=quarantine_size_mb=64

findings=0
printf '%-14s %12s %8s  %s\n' target executions seconds findings
for target in "${targets[@]}"; do
  corpus=$build/corpus/$target
  artifacts=$build/findings/$target
  log=$build/logs/$target.log
  mkdir -p "$corpus" "$artifacts" "$(dirname "$log")"
  rm -f "$artifacts"/*
  # Inputs that once found a fault are replayed first, every run.
  inputs=("$corpus" "$build/fuzz/seeds/$target")
  # Both image targets decode through the same code, so they share the image regressions.
  case $target in cube_cross) regressions=image_decode ;; *) regressions=$target ;; esac
  if [[ -d $root/fuzz/regressions/$regressions ]]; then inputs+=("$root/fuzz/regressions/$regressions"); fi
  start=$(date +%s)
  "$build/fuzz/fuzz_$target" "${inputs[@]}" -max_total_time="$seconds" \
    -timeout=10 -rss_limit_mb=512 -artifact_prefix="$artifacts/" -print_final_stats=1 >"$log" 2>&1 || true
  elapsed=$(( $(date +%s) - start ))
  executions=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)
  found=("$artifacts"/*)
  if [[ -e "${found[0]}" ]]; then
    findings=$((findings + ${#found[@]}))
    printf '%-14s %12s %8s  %s\n' "$target" "${executions:-?}" "$elapsed" "${found[*]} (log: $log)"
  elif [[ -z "$executions" ]]; then
    # No final statistics and no reproducer: the fuzzer itself failed to run.
    findings=$((findings + 1))
    printf '%-14s %12s %8s  %s\n' "$target" "?" "$elapsed" "did not run (log: $log)"
  else
    printf '%-14s %12s %8s  %s\n' "$target" "$executions" "$elapsed" "none"
  fi
done

if [[ $findings -ne 0 ]]; then
  echo "fuzz.sh: $findings finding(s)" >&2
  exit 1
fi
