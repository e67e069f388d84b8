#!/usr/bin/env bash
# Installs what is missing, builds the normal, sanitizer and Release builds, the Windows player and
# the web player, and runs every test under a virtual display with null audio (the Windows ones
# under Wine, the web ones in headless Chromium).
# Exits non-zero on any failure.
set -euo pipefail
cd "$(dirname "$0")"

scripts/install-deps.sh
jobs=$(nproc)
# Another run on the same machine, from any clone, compiles only what changed since.
export CMAKE_C_COMPILER_LAUNCHER=ccache CMAKE_CXX_COMPILER_LAUNCHER=ccache CCACHE_BASEDIR=$PWD

cmake --preset normal >/dev/null
cmake --build --preset normal -j"$jobs"

# The sanitizer build runs the unit and GL suites; the content tools and the player's
# end-to-end runs are covered by the normal build.
cmake --preset sanitize >/dev/null
cmake --build --preset sanitize -j"$jobs"
# It borrows the normal build's generated data rather than synthesising it again under ASan.
for data in Models Textures Greetings Audio sync; do
  ln -sfn "$PWD/build/run/$data" "build-asan/run/$data"
done

# The optimised, fortified tree that scripts/release.sh packs: it warns where the other builds do
# not, so a change that breaks the downloads fails here rather than on release day.
cmake --preset release >/dev/null
cmake --build --preset release -j"$jobs"

status=0
scripts/headless.sh ctest --test-dir build --output-on-failure -j"$jobs" || status=1
# Mesa and SDL keep process-lifetime allocations that LeakSanitizer would report as ours.
ASAN_OPTIONS=detect_leaks=0:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1 \
  scripts/headless.sh ctest --test-dir build-asan --output-on-failure -j"$jobs" -L 'unit|gl' || status=1
# Every run fuzzes each loader a little; a crash, hang or memory blow-up fails the run.
scripts/fuzz.sh 20 || status=1

# The Windows player, cross-built with the normal build's data and tested under Wine. It comes
# last, so that the Linux stages report whatever happens to it.
windows_stage() {
  scripts/windows-deps.sh >/dev/null || return 1
  cmake --preset windows >/dev/null || return 1
  cmake --build --preset windows -j"$jobs" || return 1
  ctest --test-dir build-windows --output-on-failure
}
windows_stage || { echo "test.sh: the Windows stage failed" >&2; status=1; }

# The web player, built with Emscripten from the same sources and played in headless Chromium.
web_stage() {
  local deps
  deps=$(scripts/web-deps.sh | tail -n 1) || return 1
  QUARN_WEB_DEPS=$deps cmake --preset web >/dev/null || return 1
  cmake --build --preset web -j"$jobs" || return 1
  /usr/bin/python3 tests/web/web_player_test.py build-web/web
}
web_stage || { echo "test.sh: the web stage failed" >&2; status=1; }

if [[ $status -ne 0 ]]; then
  echo "test.sh: FAILED" >&2
else
  echo "test.sh: all tests passed"
fi
exit $status
