#!/usr/bin/env bash
# What handing a capture to Slurm costs, on the one-node cluster of scripts/local-cluster.sh:
#  - a task's overhead: from the moment quarn-capture --slurm has submitted (it returns) to the
#    task's first frame, for a one-segment capture, three times;
#  - the join's time for the whole demo's segments at youtube-2160p60: eleven segments (ten of
#    1200 frames and one of 342, the plan's cut of 12 342 frames) of 3840x2160 H.264 at 80 Mb/s
#    with half-second closed GOPs, made by ffmpeg from a test pattern (drawing them here would
#    take a day), joined by the command the join runs, with the demo's soundtrack.
# Expects a built tree (build/ by default). Starts and stops a cluster of its own.
#
#   scripts/bench-cluster.sh [BUILD_DIR]
set -euo pipefail
cd "$(dirname "$0")/.."

build=${1:-build}
capture="$PWD/$build/run/quarn-capture"
soundtrack="$PWD/$build/run/Audio/tovik.ogg"
[[ -x "$capture" ]] || { echo "no $capture: build the tree first" >&2; exit 1; }
work=$(mktemp -d)
export QUARN_CLUSTER_DIR=/tmp/quarn-bench-cluster-$$
trap 'scripts/local-cluster.sh stop >/dev/null 2>&1 || true; rm -rf "$work" "$QUARN_CLUSTER_DIR"' EXIT
eval "$(scripts/local-cluster.sh start 2>/dev/null)"

now() { date +%s.%N; }

# Until the command succeeds, for two minutes at most.
await() {
  for _ in $(seq 6000); do
    "$@" && return 0
    sleep 0.02
  done
  echo "bench-cluster: gave up waiting for: $*" >&2
  exit 1
}

echo "load average: $(cut -d' ' -f1-3 /proc/loadavg)"
for run in 1 2 3; do
  video=$work/task$run.mp4
  "$capture" --video "$video" --from 0 --to 2.1 --fps 20 --size 320x180 --max-anisotropy 1 --slurm >"$work/out" 2>&1
  submitted=$(now)
  array=$(grep -o 'array job [0-9]*' "$work/out" | grep -o '[0-9]*$')
  log=$video.parts/slurm-${array}_0.log
  await grep -qs 'frame 1 of' "$log"
  first=$(now)
  await test -f "$video"
  awk -v run="$run" -v a="$submitted" -v b="$first" 'BEGIN { printf "task %d: first frame %.2f s after the submission\n", run, b - a }'
done

segment() { # FRAMES FILE
  ffmpeg -v error -f lavfi -i "testsrc2=size=3840x2160:rate=60" -frames:v "$1" -c:v libx264 -preset ultrafast \
    -b:v 80M -maxrate 80M -bufsize 160M -g 30 -keyint_min 30 -sc_threshold 0 -flags +cgop -pix_fmt yuv420p \
    -f mp4 "$2"
}
segment 1200 "$work/full.mp4"
segment 342 "$work/last.mp4"
: >"$work/join.txt"
for i in $(seq 0 9); do
  ln "$work/full.mp4" "$work/segment-$i.mp4"
  echo "file 'segment-$i.mp4'" >>"$work/join.txt"
done
echo "file 'last.mp4'" >>"$work/join.txt"
bytes=$(($(stat -c %s "$work/full.mp4") * 10 + $(stat -c %s "$work/last.mp4")))
start=$(now)
ffmpeg -hide_banner -loglevel error -nostats -y -f concat -safe 0 -i "$work/join.txt" -ss 0 -t 205.7 \
  -i "$soundtrack" -map 0:v:0 -map 1:a:0 -c:v copy -c:a aac -profile:a aac_low -b:a 384k -ar 48000 -ac 2 \
  -t 205.7 -movflags +faststart -f mp4 "$work/joined.mp4"
awk -v bytes="$bytes" -v a="$start" -v b="$(now)" \
  'BEGIN { printf "join: 11 segments, %d MB, in %.1f s (%.0f MB/s)\n", bytes / 1e6, b - a, bytes / 1e6 / (b - a) }'

# What the join checks before it joins, beside each segment's hash: ffprobe's count of the video's
# packets, the same command the join runs, over the same eleven segments.
start=$(now)
for file in "$work"/segment-*.mp4 "$work/last.mp4"; do
  ffprobe -v error -select_streams v:0 -count_packets -show_entries stream=nb_read_packets -of csv=p=0 "$file" >/dev/null
done
awk -v a="$start" -v b="$(now)" 'BEGIN { printf "join check: ffprobe counts the frames of the 11 segments in %.1f s\n", b - a }'
