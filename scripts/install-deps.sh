#!/usr/bin/env bash
# Installs the Debian packages the build, the player and the tests need, and those named as
# arguments (the release's checks name theirs).
# Quick when everything is present: it only asks dpkg, and calls apt-get for what is missing.
set -euo pipefail

packages=(
  build-essential cmake pkg-config ccache
  libsdl2-dev libopenal-dev libvorbis-dev libglew-dev libstb-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  fonts-dejavu-core
  xvfb xauth libgl1-mesa-dri libglx-mesa0
  libegl-dev libegl1 libegl-mesa0
  vorbis-tools ffmpeg time
  clang libclang-rt-14-dev
  libboost-dev nlohmann-json3-dev
  chromium chromium-driver python3-selenium
  emscripten
  slurmctld slurmd slurm-client munge procps
  "$@"
)

missing=()
for p in "${packages[@]}"; do
  status=$(dpkg-query -W -f='${Status}' "$p" 2>/dev/null || true)
  [[ "$status" == "install ok installed" ]] || missing+=("$p")
done
[[ ${#missing[@]} -eq 0 ]] && exit 0

echo "Installing: ${missing[*]}"
sudo=""
[[ $(id -u) -eq 0 ]] || sudo="sudo"
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
# munge's and Slurm's packages start their system services once installed; those would need a
# configuration in /etc that nothing here writes or uses (scripts/local-cluster.sh runs its own),
# and a start that fails there can fail the install. Where no policy says otherwise, none starts.
policy=/usr/sbin/policy-rc.d
if [[ ! -e $policy ]]; then
  trap '$sudo rm -f "$policy"' EXIT
  printf '#!/bin/sh\n# scripts/install-deps.sh: no service starts while it installs.\nexit 101\n' |
    $sudo tee "$policy" >/dev/null
  $sudo chmod 755 "$policy"
fi
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
