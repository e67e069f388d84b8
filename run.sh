#!/usr/bin/env bash
# Installs what is missing, builds, and plays the demo from inside its run directory.
# Options go to the player: ./run.sh --author [--from BEAT] [--loop FROM:TO] [--watch DIR],
# where --watch is the checkout's data/ unless given.
# ./run.sh --windows builds the Windows player as well and plays that one under Wine.
# ./run.sh --web builds the web player as well, serves its page on loopback and prints the address.
set -euo pipefail
cd "$(dirname "$0")"

if [[ "${1:-}" == "--web" ]]; then
  shift
  scripts/install-deps.sh
  cmake --preset normal >/dev/null
  cmake --build --preset normal -j"$(nproc)"
  # The normal tree made the data; the wasm libraries come from the cache the script fills.
  QUARN_WEB_DEPS=$(scripts/web-deps.sh | tail -1) cmake --preset web >/dev/null
  cmake --build --preset web -j"$(nproc)"
  exec scripts/serve-web.sh build-web/web
fi

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
# Only a log this run wrote is reported: a refused option writes none, and the previous run's must
# not pass for this one's. This run's is the one not older than a stamp made just before the start.
run_dir=$PWD/build/run
[[ $windows -eq 1 ]] && run_dir=$PWD/build-windows/run
log=$run_dir/LogFile.txt
status=0
if [[ $windows -eq 1 ]]; then
  # The Linux build made the data; the Windows libraries come from the cache the script fills.
  scripts/windows-deps.sh >/dev/null
  cmake --preset windows >/dev/null
  cmake --build --preset windows -j"$(nproc)"
  export WINEDEBUG=${WINEDEBUG:--all}
  player=(wine ./QuarnEngine.exe)
else
  player=(./QuarnEngine)
fi
stamp=$(mktemp "$run_dir/.run-start.XXXXXX")
trap 'rm -f "$stamp"' EXIT
(cd "$run_dir" && ../../scripts/headless.sh "${player[@]}" "${options[@]}") || status=$?

if [[ -f "$log" && ! "$log" -ot "$stamp" ]]; then
  echo "Log: $log"
  errors=$(iconv -f UTF-16LE -t UTF-8 "$log" | tr -d '\r' | grep '^ERROR' || true)
  if [[ -n "$errors" ]]; then
    echo "Errors in the log:"
    echo "$errors"
  fi
else
  echo "No log: the player wrote none this run (status $status)"
fi
exit $status
