#!/usr/bin/env bash
# The Windows player under Wine, against the Linux player in the same run directories:
#   player-under-wine.sh <linux-run-dir> <windows-run-dir> <wine-prefix> <windows-quarn-capture.exe>
# Each case makes a short run directory (a few seconds of soundtrack), plays both players in a copy
# of it and compares their logs line for line, apart from the two date lines. Escape, sent with
# xdotool, must end the Windows player within seconds, with exit status 0. Both capture tools'
# stills of the whole demo must be the same files, byte for byte, and both programs must carry the
# manifest that makes UTF-8 their code page. Runs under Xvfb when no display is set.
set -euo pipefail

if [[ -z "${DISPLAY:-}" ]]; then
  exec "$(dirname "$0")/../../scripts/headless.sh" "$0" "$@"
fi

linux_run=$1
windows_run=$2
windows_capture=$4
export WINEPREFIX=$3 WINEDEBUG=-all ALSOFT_DRIVERS=null LIBGL_ALWAYS_SOFTWARE=1
source "$(dirname "$0")/wine-window.sh"
work=$(mktemp -d /tmp/quarn-wine-XXXXXX)
trap 'rm -rf "$work"' EXIT
failures=0

fail() {
  echo "FAIL: $*" >&2
  failures=$((failures + 1))
}

# A run directory with the demo's data and a soundtrack of $2 seconds.
make_run_dir() {
  local dir=$1 seconds=$2
  mkdir -p "$dir/Audio"
  cp -r "$linux_run"/{Shaders,Models,Textures,Greetings,sync} "$dir/"
  ffmpeg -loglevel error -f lavfi -i "sine=frequency=220:duration=$seconds:sample_rate=44100" -ac 2 \
    -c:a libvorbis -q:a 0 "$dir/Audio/tovik.ogg"
}

# The log as UTF-8 lines, with the start and end dates blanked: they differ between any two runs.
readable_log() {
  iconv -f UTF-16LE -t UTF-8 "$1/LogFile.txt" | tr -d '\r' |
    sed -E 's/^[A-Z][a-z]{2} [A-Z][a-z]{2} [ 0-9][0-9] [0-9:]{8} [0-9]{4}$/<date>/'
}

play_linux() {
  (cd "$1" && "$linux_run/QuarnEngine")
}

play_windows() {
  (cd "$1" && exec wine "$windows_run/QuarnEngine.exe")
}

# Whether the program's RT_MANIFEST resource (type 24) sets UTF-8 as the active code page.
asks_for_utf8() {
  x86_64-w64-mingw32-windres -i "$1" -O rc |
    awk '/^1 24 / { inside = 1 } inside && /^END/ { inside = 0 }
         inside && /<activeCodePage[^>]*>UTF-8<\/activeCodePage>/ { found = 1 } END { exit !found }'
}

for program in "$windows_run/QuarnEngine.exe" "$windows_capture"; do
  asks_for_utf8 "$program" || fail "manifest: $(basename "$program") does not ask for UTF-8 as its code page"
done

# Plays both players on copies of $1 and compares exit statuses and logs.
compare_players() {
  local name=$1 template=$2 expected_status=$3
  cp -r "$template" "$work/$name-linux"
  cp -r "$template" "$work/$name-windows"
  local linux_status=0 windows_status=0
  play_linux "$work/$name-linux" || linux_status=$?
  play_windows "$work/$name-windows" || windows_status=$?
  [[ $linux_status -eq $expected_status ]] || fail "$name: the Linux player exited with $linux_status"
  [[ $windows_status -eq $expected_status ]] || fail "$name: the Windows player exited with $windows_status"
  if ! diff <(readable_log "$work/$name-linux") <(readable_log "$work/$name-windows") >"$work/$name.diff"; then
    fail "$name: the logs differ (< Linux, > Windows):"
    cat "$work/$name.diff" >&2
  fi
  echo "$name: Linux $linux_status, Windows $windows_status, $(readable_log "$work/$name-windows" | wc -l) log lines compared"
}

make_run_dir "$work/short" 3
compare_players whole-run "$work/short" 0

# A missing shader stops the start-up; a missing image becomes the fallback texture.
cp -r "$work/short" "$work/no-shader"
rm "$work/no-shader/Shaders/$(ls "$work/no-shader/Shaders" | grep '\.frag$' | head -1)"
compare_players missing-shader "$work/no-shader" 255
cp -r "$work/short" "$work/no-texture"
rm "$work/no-texture/Textures/$(ls "$work/no-texture/Textures" | head -1)"
compare_players missing-texture "$work/no-texture" 0
grep -q "Returned A Missing Texture!" <(readable_log "$work/missing-texture-windows") ||
  fail "missing-texture: the Windows log names no fallback texture"

# Escape ends a run well before its music does.
make_run_dir "$work/escape" 120
play_windows "$work/escape" &
player=$!
for _ in $(seq 1 120); do
  readable_log "$work/escape" 2>/dev/null | grep -q "Initializing Post Processor: Bloom" && break
  sleep 0.5
done
# The music lasts two minutes: a player still running a few seconds after the key ignored it.
if ! end_with_escape "$player"; then
  fail "escape: Escape did not end the Windows player"
  kill "$player" 2>/dev/null || true
fi
escape_status=0
wait "$player" || escape_status=$?
[[ $escape_status -eq 0 ]] || fail "escape: the Windows player exited with $escape_status"
readable_log "$work/escape" | grep -q "^Logger Shutting Down.$" ||
  fail "escape: the log does not end with the shut-down"
echo "escape: Windows $escape_status"

# Both builds draw on the same software rasteriser, so their pictures must agree to the byte.
mkdir -p "$work/stills-linux" "$work/stills-windows"
stills=(--at 176 --at 259.4 --at 340)
"$linux_run/quarn-capture" "${stills[@]}" --out "$work/stills-linux" --run-dir "$linux_run" >/dev/null
WINEPATH=$(winepath -w "$windows_run") wine "$windows_capture" "${stills[@]}" \
  --out "$(winepath -w "$work/stills-windows")" --run-dir "$(winepath -w "$windows_run")" >/dev/null
for still in "$work"/stills-linux/*.png; do
  cmp -s "$still" "$work/stills-windows/$(basename "$still")" || fail "stills: $(basename "$still") differs"
done
echo "stills: $(ls "$work/stills-linux" | wc -l) compared"

if [[ $failures -gt 0 ]]; then
  echo "player-under-wine: $failures failure(s)" >&2
  exit 1
fi
echo "player-under-wine: all cases passed"
