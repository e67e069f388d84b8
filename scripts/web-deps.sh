#!/usr/bin/env bash
# Builds the libraries the web player links against, for wasm: libogg and libvorbis (static).
# Debian ships no wasm builds, and Emscripten's own ports download from the net on first use, so
# the upstream sources come from Debian's source archive as the Windows ones do
# (scripts/windows-deps.sh), fixed by scripts/web-deps.lock: package, version, file, size and
# SHA-256 of each tarball, refused when they do not match. `--refresh` rewrites the lock from the
# archive's signed index. OpenAL, GLES and html5 come with Emscripten itself.
#
# The result lives outside the source tree, in a prefix keyed by the tarballs, the compiler and
# this recipe; the last line of stdout is always the prefix.
#
# Usage: scripts/web-deps.sh [--refresh]
# Environment:
#   XDG_CACHE_HOME   cache root (default ~/.cache)
#   APT_CONFIG       honoured as apt honours it, for the mirror
set -euo pipefail
# A failure inside $(...) stops the run too.
shopt -s inherit_errexit

readonly suite=trixie
readonly packages=(libogg libvorbis)
readonly keyring=/usr/share/keyrings/debian-archive-keyring.gpg
readonly apt_packages=(emscripten cmake make curl ca-certificates gpgv debian-archive-keyring xz-utils)
readonly toolchain=/usr/share/emscripten/cmake/Modules/Platform/Emscripten.cmake

root_dir=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
readonly root_dir
readonly lock=$root_dir/scripts/web-deps.lock
readonly cache_root=${XDG_CACHE_HOME:-$HOME/.cache}/quarn/web-deps
readonly logs=$cache_root/logs
readonly deps_name=web-deps deps_title="web player's libraries"
# shellcheck source=lib/debian-sources.sh
source "$root_dir/scripts/lib/debian-sources.sh"

# build_wasm NAME SOURCE [CMAKE ARGS...]: configures with Emscripten's toolchain, builds and
# installs into the staging copy of the prefix. The toolchain only searches below its find root,
# so the staging copy is that root and the final prefix the path searched inside it.
build_wasm() {
  local name=$1 src=$2 build=$work/build-$1 log=$logs/$1.log
  shift 2
  say "building $name"
  if ! {
    cmake -S "$src" -B "$build" -G "Unix Makefiles" -Wno-dev \
      -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DCMAKE_FIND_ROOT_PATH="$stage" \
      -DCMAKE_PREFIX_PATH="$prefix" -DCMAKE_BUILD_TYPE=Release \
      -DCMAKE_INSTALL_PREFIX="$prefix" -DCMAKE_INSTALL_LIBDIR=lib \
      -DBUILD_SHARED_LIBS=OFF "$@" &&
    cmake --build "$build" -j "$(nproc)" &&
    DESTDIR=$stage cmake --install "$build"
  } >"$log" 2>&1; then
    die "$name: build failed (log: $log)"
  fi
}

# CMake's type-size probe reads its answer out of the linked file, which for Emscripten is the
# JavaScript loader, not the module: it finds nothing. The fixed-width types' sizes are what
# their names say, so they are given rather than probed.
build_libogg() {
  build_wasm libogg "$1" -DBUILD_TESTING=OFF -DINSTALL_DOCS=OFF \
    -DHAVE_INT16_SIZE=TRUE -DINT16_SIZE=2 -DHAVE_UINT16_SIZE=TRUE -DUINT16_SIZE=2 \
    -DHAVE_INT32_SIZE=TRUE -DINT32_SIZE=4 -DHAVE_UINT32_SIZE=TRUE -DUINT32_SIZE=4 \
    -DHAVE_INT64_SIZE=TRUE -DINT64_SIZE=8
}
build_libvorbis() { build_wasm libvorbis "$1"; }

check_prefix() {
  local f
  for f in include/ogg/ogg.h include/vorbis/vorbisfile.h \
           lib/libogg.a lib/libvorbis.a lib/libvorbisfile.a; do
    [[ -f "$stage_prefix/$f" ]] || die "build finished without $f"
  done
}

# Every tarball is verified before anything is unpacked.
build_all() {
  local pkg src
  local -A archive
  for pkg in "${packages[@]}"; do
    archive[$pkg]=$(tarball "$pkg")
  done
  for pkg in "${packages[@]}"; do
    src=$(unpack "$pkg" "${archive[$pkg]}")
    "build_$pkg" "$src"
    install_licence "$pkg" "$src"
  done
  check_prefix
}

readonly recipe=(build_wasm unpack install_licence build_libogg build_libvorbis check_prefix build_all)

build_key() {
  {
    lock_entries | awk '{ print $1, $5 }'
    emcc --version
    dpkg-query -W emscripten
    echo "CFLAGS=${CFLAGS:-} CXXFLAGS=${CXXFLAGS:-} CPPFLAGS=${CPPFLAGS:-} LDFLAGS=${LDFLAGS:-}"
    cmake --version
    declare -f "${recipe[@]}"
  } | sha256sum | cut -c1-16
}

deps_main "$@"
