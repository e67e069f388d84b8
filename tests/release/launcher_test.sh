#!/usr/bin/env bash
# The release's programs as a viewer starts them, through the portable archive's launcher.
#
#   launcher_test.sh version VERSION LAUNCHER PLAYER CAPTURE
#       both programs and the launcher print "QuarnEngine VERSION" and exit 0
#   launcher_test.sh log-directory LAUNCHER PLAYER
#       the log lands beside the program when that folder can be written, otherwise in
#       $XDG_STATE_HOME/quarn, or ~/.local/state/quarn when XDG_STATE_HOME is not set
#   launcher_test.sh state-directory LAUNCHER PLAYER
#       the per-user directory is private and the viewer's own, nothing but a link is replaced
#       there, a plain start plays on the desktop, a relative --watch directory is the caller's,
#       and this run's log is told from an older one on a file system with whole-second time stamps
#
# Each program folder holds the launcher and the real player, but no data: the player's start-up
# fails at once, after its log has said why, which is all the log's place needs.
set -u

scratch=$(mktemp -d)
cleanup() {
  umount "$scratch/coarse" 2>/dev/null
  chattr -R -i "$scratch" 2>/dev/null
  chmod -R u+w "$scratch"
  rm -rf "$scratch"
}
trap cleanup EXIT

failures=0
check() {
  local what=$1
  shift
  if "$@"; then
    echo "ok: $what"
  else
    echo "FAILED: $what"
    failures=$((failures + 1))
  fi
}

# A folder as the archive unpacks, with the launcher and the player: $1 names it.
program_folder() {
  mkdir -p "$scratch/$1"
  cp "$launcher" "$scratch/$1/quarn"
  ln -s "$player" "$scratch/$1/QuarnEngine"
  echo "$scratch/$1"
}

writable() { (: >>"$1/.probe") 2>/dev/null && rm -f "$1/.probe"; }

# Unwritable even to root, who passes every permission check: an immutable folder refuses him too.
make_unwritable() {
  chmod a-w "$1"
  writable "$1" && chattr +i "$1" 2>/dev/null
  ! writable "$1"
}

# play FOLDER [NAME=VALUE ...] [-- ARGUMENT ...]: runs the folder's launcher with that environment
# and those arguments, and keeps its output and status.
play() {
  local folder=$1 settings=()
  shift
  while [[ $# -gt 0 && $1 != -- ]]; do settings+=("$1"); shift; done
  [[ $# -gt 0 ]] && shift
  output=$(env -u XDG_STATE_HOME HOME="$scratch/home" "${settings[@]}" "$folder/quarn" "$@" 2>&1)
  status=$?
}

has_text() { grep -qF -- "$1" <<<"$output"; }
has_line() { grep -qxF -- "$1" <<<"$output"; }
reports_log() { has_line "Log: $1" && has_line "Errors in the log:" && grep -q '^ERROR' <<<"$output"; }
log_written() { [[ -s $1 ]]; }
no_file() { [[ ! -e $1 && ! -L $1 ]]; }
links_to() { [[ "$(readlink "$1")" == "$2" ]]; }
equals() { [[ "$1" == "$2" ]]; }

version_checks() {
  local expected="QuarnEngine $1" folder
  launcher=$2 player=$3
  local capture=$4
  check "QuarnEngine --version" equals "$("$player" --version; echo "status $?")" "$expected"$'\n'"status 0"
  check "quarn-capture --version" equals "$("$capture" --version; echo "status $?")" "$expected"$'\n'"status 0"
  folder=$(program_folder version)
  play "$folder" -- --version
  check "quarn --version reaches the player and reports no log" equals "$output/$status" "$expected/0"
}

log_directory_checks() {
  launcher=$1 player=$2
  local folder state=$scratch/state

  folder=$(program_folder writable)
  play "$folder"
  check "writable folder: the failed start-up's status comes through" equals "$status" 255
  check "writable folder: the log is beside the program" log_written "$folder/LogFile.txt"
  check "writable folder: the launcher names it and its errors" reports_log "$folder/LogFile.txt"
  check "writable folder: no per-user directory is made" no_file "$scratch/home/.local/state/quarn"

  folder=$(program_folder read-only-xdg)
  if ! make_unwritable "$folder"; then
    echo "skipped: no way to make a folder unwritable here (neither permissions nor chattr +i)"
    exit 77
  fi
  play "$folder" XDG_STATE_HOME="$state"
  check "read-only folder, XDG_STATE_HOME set: the log is in \$XDG_STATE_HOME/quarn" \
    log_written "$state/quarn/LogFile.txt"
  check "read-only folder, XDG_STATE_HOME set: the launcher names it and its errors" \
    reports_log "$state/quarn/LogFile.txt"
  check "read-only folder: the data folders there lead to the program's" links_to "$state/quarn/Shaders" "$folder/Shaders"
  check "read-only folder: nothing is written beside the program" no_file "$folder/LogFile.txt"

  folder=$(program_folder read-only-home)
  make_unwritable "$folder"
  play "$folder"
  check "read-only folder, XDG_STATE_HOME unset: the log is in ~/.local/state/quarn" \
    log_written "$scratch/home/.local/state/quarn/LogFile.txt"
  check "read-only folder, XDG_STATE_HOME unset: the launcher names it" \
    reports_log "$scratch/home/.local/state/quarn/LogFile.txt"
}

mode_of() { stat -c %a "$1"; }
refused() { [[ $status -ne 0 ]] && has_text "$1"; }

state_directory_checks() {
  launcher=$1 player=$2
  local folder state=$scratch/state
  folder=$(program_folder read-only)
  make_unwritable "$folder" || { echo "skipped: no way to make a folder unwritable here"; exit 77; }

  play "$folder" XDG_STATE_HOME="$state"
  check "the per-user directory is made private" equals "$(mode_of "$state/quarn")" 700

  rm "$state/quarn/Shaders"
  mkdir "$state/quarn/Shaders"
  play "$folder" XDG_STATE_HOME="$state"
  check "a real folder in place of a link is named and left alone" \
    refused "$state/quarn/Shaders stands in the way"
  check "nothing is linked inside it" no_file "$state/quarn/Shaders/Shaders"
  rmdir "$state/quarn/Shaders"

  if [[ $(id -u) -eq 0 ]]; then
    chown 65534 "$state/quarn"
    play "$folder" XDG_STATE_HOME="$state"
    check "a per-user directory of someone else's is refused" refused "belongs to someone else"
    chown 0 "$state/quarn"
  fi

  # A stand-in player that prints its arguments shows what the launcher passes on.
  local caller=$scratch/caller echo_folder=$scratch/echo
  mkdir -p "$caller/data" "$echo_folder"
  cp "$launcher" "$echo_folder/quarn"
  printf '#!/bin/sh\nprintf "%%s\\n" "$@"\n' >"$echo_folder/QuarnEngine"
  chmod +x "$echo_folder/QuarnEngine"
  cd "$caller" || return
  play "$echo_folder" -- --author --watch data --from 4
  cd - >/dev/null || return
  check "a relative --watch directory is the caller's" equals "$output" "--author"$'\n'"--watch"$'\n'"$caller/data"$'\n'"--from"$'\n'"4"
  play "$echo_folder"
  check "a viewer's plain start plays on the desktop at its own resolution" equals "$output" "--desktop"
  play "$echo_folder" -- --window 800x600
  check "a window the viewer asks for is not overruled" equals "$output" "--window"$'\n'"800x600"

  coarse_time_checks
}

# On a file system whose time stamps are whole seconds (ext2 with small inodes), a log written in
# the second the run started is this run's; one left by an earlier run is not.
coarse_time_checks() {
  local image=$scratch/coarse.img mount=$scratch/coarse folder
  mkdir -p "$mount"
  truncate -s 16M "$image"
  if ! { mkfs.ext2 -q -I 128 "$image" && mount -o loop "$image" "$mount"; } >/dev/null 2>&1; then
    echo "skipped: whole-second time stamps (no loop mount of ext2 here)"
    return
  fi
  mkdir "$mount/quarn"
  cp "$launcher" "$mount/quarn/quarn"
  cp "$player" "$mount/quarn/QuarnEngine"
  play "$mount/quarn"
  check "whole-second time stamps: this run's log is reported" reports_log "$mount/quarn/LogFile.txt"
  play "$mount/quarn" -- --version
  check "whole-second time stamps: an earlier run's log is not" equals "$output" "$("$player" --version)"
  umount "$mount"
}

case ${1:-} in
  version) version_checks "${@:2}" ;;
  log-directory) log_directory_checks "${@:2}" ;;
  state-directory) state_directory_checks "${@:2}" ;;
  *) echo "usage: launcher_test.sh version|log-directory|state-directory ..." >&2; exit 2 ;;
esac
[[ $failures -eq 0 ]]
