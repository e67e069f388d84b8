#!/usr/bin/env bash
# The Windows player's timeline editor under Wine:
#   editor-under-wine.sh <windows-run-dir> <wine-prefix> <source-dir>
# Plays the player in author mode with the editor on a copy of the run directory, watching a copy
# of the checkout's timeline and shaders. The address it prints, with its secret, must give the
# state with the timeline's tracks, also while idle connections are held; the same request
# without the secret must get 403. Escape must
# then end the player with exit status 0 and the log's shut-down. Runs under Xvfb when no display
# is set.
set -euo pipefail

if [[ -z "${DISPLAY:-}" ]]; then
  exec "$(dirname "$0")/../../scripts/headless.sh" "$0" "$@"
fi

windows_run=$1
source_dir=$3
export WINEPREFIX=$2 WINEDEBUG=-all ALSOFT_DRIVERS=null LIBGL_ALWAYS_SOFTWARE=1
source "$(dirname "$0")/wine-window.sh"
work=$(mktemp -d /tmp/quarn-wine-editor-XXXXXX)
player=""
cleanup() {
  [[ -n "$player" ]] && kill "$player" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT

fail() {
  echo "FAIL: $*" >&2
  exit 1
}

cp -r "$windows_run" "$work/run"
rm -f "$work/run/LogFile.txt"
mkdir "$work/sources"
cp -r "$source_dir/data/timeline.txt" "$source_dir/data/Shaders" "$work/sources/"

: >"$work/stdout"
(cd "$work/run" && exec wine QuarnEngine.exe --author --watch "$(winepath -w "$work/sources")" --editor \
  --no-browser >"$work/stdout") &
player=$!

url=""
for _ in $(seq 1 60); do
  url=$(sed -nE 's|^Timeline editor: (http://127\.0\.0\.1:[0-9]+/[0-9a-f]{32}/)\r?$|\1|p' "$work/stdout")
  [[ -n "$url" ]] && break
  kill -0 "$player" 2>/dev/null || fail "the player ended before it printed the editor's address"
  sleep 0.5
done
[[ -n "$url" ]] || fail "the player printed no editor address in 30 s: $(head -c 300 "$work/stdout")"
echo "editor: $url"

# The state names the timeline's tracks, each with its keys, as the file has them.
curl -fsS --max-time 10 "${url}api/state" >"$work/state.json" || fail "the state request failed"
python3 - "$work/state.json" "$work/sources/timeline.txt" <<'CHECK' || fail "the state is not the timeline's"
import json, sys
state = json.load(open(sys.argv[1]))
timeline = open(sys.argv[2]).read()
tracks = state["tracks"]
assert len(tracks) >= 2, tracks
for track in tracks:
    assert f"[{track['name']}]" in timeline, track["name"]
assert any(track["keys"] for track in tracks), "no keys"
print(f"state: {len(tracks)} tracks, {sum(len(t['keys']) for t in tracks)} keys")
CHECK

# Connections that send nothing hold no thread of the server: with twenty of them open (more
# than a pool of threads would have), the state still comes at once.
port=${url#http://127.0.0.1:}
port=${port%%/*}
python3 - "$port" "$url" <<'HELD' || fail "the state did not come while idle connections were held"
import socket, sys, time, urllib.request
held = [socket.create_connection(("127.0.0.1", int(sys.argv[1]))) for _ in range(20)]
started = time.monotonic()
with urllib.request.urlopen(sys.argv[2] + "api/state", timeout=10) as response:
    assert response.status == 200
print(f"state with 20 idle connections held: {time.monotonic() - started:.2f} s")
HELD

# The same request without the secret is refused.
origin=${url%/*/}
status=$(curl -sS --max-time 10 -o /dev/null -w '%{http_code}' "$origin/api/state")
[[ "$status" == 403 ]] || fail "a request without the secret got $status, not 403"
echo "without the secret: $status"

end_with_escape "$player" || fail "Escape did not end the player"
status=0
wait "$player" || status=$?
player=""
[[ $status -eq 0 ]] || fail "the player exited with $status"
iconv -f UTF-16LE -t UTF-8 "$work/run/LogFile.txt" | tr -d '\r' | grep -q "^Logger Shutting Down.$" ||
  fail "the log does not end with the shut-down"
echo "editor-under-wine: passed"
