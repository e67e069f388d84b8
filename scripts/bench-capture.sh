#!/usr/bin/env bash
# Seconds per frame of quarn-capture --video for the sizes and settings the video presets use,
# on one stretch of the demo (a dozen frames of the first Sphere morph), with the peak memory of
# each run. Expects a built tree (build/ by default); draws under scripts/headless.sh.
#
#   scripts/bench-capture.sh [BUILD_DIR]
set -euo pipefail
cd "$(dirname "$0")/.."

build=${1:-build}
capture="$PWD/$build/run/quarn-capture"
headless="$PWD/scripts/headless.sh"
[[ -x "$capture" ]] || { echo "no $capture: build the tree first" >&2; exit 1; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# The tool's last line: "... made in T s; S s a frame; peak memory M MB, ffmpeg's F MB)".
measure() {
  local name=$1
  shift
  local last
  last=$("$headless" "$capture" --video "$work/clip.mp4" --from 176.4 --to 176.8 "$@" 2>/dev/null | tail -1)
  printf '%-22s %s\n' "$name" "${last#*made in }"
}

echo "load average: $(cut -d' ' -f1-3 /proc/loadavg)"
measure "720p" --size 1280x720
measure "1080p" --size 1920x1080
measure "2160p" --size 3840x2160
measure "1080p supersample 2" --size 1920x1080 --supersample 2
measure "720p motion blur 8" --size 1280x720 --motion-blur 8
