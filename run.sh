#!/usr/bin/env bash
# Installs what is missing, builds, and plays the demo from inside its run directory.
# Options go to the player: ./run.sh --author [--from BEAT] [--loop FROM:TO] [--watch DIR],
# where --watch is the checkout's data/ unless given.
# ./run.sh --windows builds the Windows player as well and plays that one under Wine.
set -euo pipefail
cd "$(dirname "$0")"

windows=0
if [[ "${1:-}" == "--windows" ]]; then
  windows=1
  shift
fi

scripts/install-deps.sh
cmake --preset normal >/dev/null
cmake --build --preset normal -j"$(nproc)"

options=("$@")
if [[ " $* " == *" --author "* && " $* " != *" --watch "* ]]; then
  options+=(--watch "$PWD/data")
fi
status=0
if [[ $windows -eq 1 ]]; then
  # The Linux build made the data; the Windows libraries come from the cache the script fills.
  scripts/windows-deps.sh >/dev/null
  cmake --preset windows >/dev/null
  cmake --build --preset windows -j"$(nproc)"
  run_dir=$PWD/build-windows/run
  export WINEDEBUG=${WINEDEBUG:--all}
  (cd "$run_dir" && ../../scripts/headless.sh wine ./QuarnEngine.exe "${options[@]}") || status=$?
else
  run_dir=$PWD/build/run
  (cd "$run_dir" && ../../scripts/headless.sh ./QuarnEngine "${options[@]}") || status=$?
fi

log=$run_dir/LogFile.txt
echo "Log: $log"
if [[ -f "$log" ]]; then
  errors=$(iconv -f UTF-16LE -t UTF-8 "$log" | tr -d '\r' | grep '^ERROR' || true)
  if [[ -n "$errors" ]]; then
    echo "Errors in the log:"
    echo "$errors"
  fi
fi
exit $status
