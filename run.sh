#!/usr/bin/env bash
# Installs what is missing, builds, and plays the demo from inside its run directory.
# Options go to the player: ./run.sh --author [--from BEAT] [--loop FROM:TO] [--watch DIR],
# where --watch is the checkout's data/ unless given.
set -euo pipefail
cd "$(dirname "$0")"

scripts/install-deps.sh
cmake --preset normal >/dev/null
cmake --build --preset normal -j"$(nproc)"

run_dir=$PWD/build/run
options=("$@")
if [[ " $* " == *" --author "* && " $* " != *" --watch "* ]]; then
  options+=(--watch "$PWD/data")
fi
status=0
(cd "$run_dir" && ../../scripts/headless.sh ./QuarnEngine "${options[@]}") || status=$?

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
