# Sourced by the start-up benchmarks: the time from executing a Linux player to the end of its
# first presented frame, through a preloaded probe (bench/probe/FirstFrameProbe.c) that leaves the
# player unchanged, and the median of a column of figures.

# build_probe DIRECTORY: compiles the probe into DIRECTORY/probe.so.
build_probe() {
  cc -shared -fPIC -O2 -o "$1/probe.so" "$(dirname "${BASH_SOURCE[0]}")/../../bench/probe/FirstFrameProbe.c"
}

# first_frame PROBE DIRECTORY COMMAND...: milliseconds from executing COMMAND in DIRECTORY to its
# first frame.
first_frame() {
  local probe=$1 directory=$2
  shift 2
  (cd "$directory" && QUARN_EXEC_NS=$(date +%s%N) LD_PRELOAD=$probe exec "$@") 2>&1 |
    sed -n 's/^first frame: \([0-9.]*\) ms$/\1/p'
}

median() { sort -n | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }
