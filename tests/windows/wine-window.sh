# shellcheck shell=bash
# Sourced by the Wine tests: ending the Windows player as a viewer does, with Escape.

# end_with_escape PID: finds the player's window, presses Escape in it and waits up to 10 s for
# the process to end; fails when there is no window or the player goes on.
end_with_escape() {
  local player=$1 window=""
  for _ in $(seq 1 60); do
    window=$(xdotool search --name '^QuarnEngine' 2>/dev/null | head -1 || true)
    [[ -n "$window" ]] && break
    sleep 0.5
  done
  if [[ -z "$window" ]]; then
    echo "the Windows player's window never appeared" >&2
    return 1
  fi
  sleep 1
  # Wine may ignore a key sent to a window as a synthetic event, so it is also typed, through
  # XTEST, to the window that has the focus.
  xdotool windowactivate --sync "$window" 2>/dev/null || true
  xdotool key --window "$window" Escape
  xdotool key Escape
  for _ in $(seq 1 20); do
    kill -0 "$player" 2>/dev/null || return 0
    sleep 0.5
  done
  echo "the Windows player was still running 10 s after Escape" >&2
  return 1
}
