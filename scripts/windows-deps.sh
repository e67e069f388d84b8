#!/usr/bin/env bash
# Builds the Windows libraries the cross build links against: OpenAL Soft (as
# a DLL: it is LGPL, so users must be able to replace it), libogg, libvorbis
# and GLEW (static). Debian ships no Windows builds of them, so the upstream
# sources come from Debian's source archive, through the mirror apt already
# uses. The header-only libraries (stb, nlohmann-json, Boost's Asio and Beast
# for the editor's server) are Debian's own packages, as the Linux build uses
# them.
#
# Which sources is fixed by scripts/windows-deps.lock, committed with the
# tree: package, version, file, size and SHA-256 of each tarball. Every build
# on every machine and every day uses exactly those, and a tarball that does
# not match is refused. Only `--refresh` reads the archive's signed index
# again: it refuses an index older than the one the lock was taken from or
# past its Valid-Until, so a replayed index cannot roll the sources back, and
# rewrites the lock, to be reviewed and committed like any other change.
#
# The result lives outside the source tree, in a prefix keyed by everything
# that shapes it (the tarballs, the compiler, its runtime and flags, this
# recipe), so a second run only prints the prefix. The last line of stdout is
# always the libraries' prefix; progress goes to stderr, one line per step,
# and any failure is one line.
#
# Usage: scripts/windows-deps.sh [--refresh]
# Environment:
#   XDG_CACHE_HOME   cache root (default ~/.cache)
#   APT_CONFIG       honoured as apt honours it, for the mirror
set -euo pipefail
# A failure inside $(...) stops the run too.
shopt -s inherit_errexit

readonly suite=trixie
readonly packages=(openal-soft libogg libvorbis glew)
readonly triplet=x86_64-w64-mingw32
readonly keyring=/usr/share/keyrings/debian-archive-keyring.gpg
readonly apt_packages=(
  g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64 wine wine64 xdotool
  cmake make curl ca-certificates gpgv debian-archive-keyring xz-utils patch
)

root_dir=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
readonly root_dir
readonly toolchain=$root_dir/cmake/mingw-w64-x86_64.cmake
readonly lock=$root_dir/scripts/windows-deps.lock
readonly cache_root=${XDG_CACHE_HOME:-$HOME/.cache}/quarn/windows-deps
readonly logs=$cache_root/logs
readonly deps_name=windows-deps deps_title="Windows libraries"
# shellcheck source=lib/debian-sources.sh
source "$root_dir/scripts/lib/debian-sources.sh"

# --- the build --------------------------------------------------------------

# build_cmake NAME SOURCE TARGET [CMAKE ARGS...]: configures, builds TARGET
# and installs into the staging copy of the prefix. The install prefix is the
# final path (DESTDIR stages it), so pkg-config files name where the files
# will be, not where they were built.
build_cmake() {
  local name=$1 src=$2 target=$3 build=$work/build-$1 log=$logs/$1.log
  shift 3
  say "building $name"
  if ! {
    cmake -S "$src" -B "$build" -G "Unix Makefiles" -Wno-dev \
      -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DQUARN_WINDOWS_DEPS="$stage_prefix" \
      -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$prefix" \
      -DCMAKE_INSTALL_LIBDIR=lib "$@" &&
    cmake --build "$build" --target "$target" -j "$(nproc)" &&
    DESTDIR=$stage cmake --install "$build" --strip
  } >"$log" 2>&1; then
    die "$name: build failed (log: $log)"
  fi
}


build_libogg() {
  build_cmake libogg "$1" all -DBUILD_SHARED_LIBS=OFF -DBUILD_TESTING=OFF -DINSTALL_DOCS=OFF
}

build_libvorbis() {
  build_cmake libvorbis "$1" all -DBUILD_SHARED_LIBS=OFF
}

# Only the static library: consumers define GLEW_STATIC.
build_glew() {
  build_cmake glew "$1/build/cmake" glew_s -DBUILD_SHARED_LIBS=OFF -DBUILD_UTILS=OFF
}

# The DLL carries its own C and C++ runtimes, so shipping it needs no
# libstdc++/libgcc/winpthread DLLs beside it. Only the Windows backends and
# the null/wave outputs: nothing else exists on the target.
build_openal_soft() {
  build_cmake openal-soft "$1" all \
    -DALSOFT_UTILS=OFF -DALSOFT_EXAMPLES=OFF -DALSOFT_TESTS=OFF \
    -DALSOFT_INSTALL_CONFIG=OFF -DALSOFT_INSTALL_HRTF_DATA=OFF \
    -DALSOFT_INSTALL_AMBDEC_PRESETS=OFF -DALSOFT_INSTALL_EXAMPLES=OFF \
    -DALSOFT_INSTALL_UTILS=OFF -DALSOFT_UPDATE_BUILD_VERSION=OFF \
    -DALSOFT_BUILD_IMPORT_LIB=OFF \
    -DALSOFT_STATIC_LIBGCC=ON -DALSOFT_STATIC_STDCXX=ON -DALSOFT_STATIC_WINPTHREAD=ON \
    -DALSOFT_REQUIRE_WASAPI=ON -DALSOFT_REQUIRE_DSOUND=ON -DALSOFT_REQUIRE_WINMM=ON \
    -DALSOFT_BACKEND_WAVE=ON \
    -DALSOFT_BACKEND_PIPEWIRE=OFF -DALSOFT_BACKEND_PULSEAUDIO=OFF \
    -DALSOFT_BACKEND_JACK=OFF -DALSOFT_BACKEND_PORTAUDIO=OFF \
    -DALSOFT_BACKEND_SDL2=OFF -DALSOFT_BACKEND_SDL3=OFF \
    -DALSOFT_BACKEND_OTHERIO=OFF -DALSOFT_BACKEND_COREAUDIO=OFF \
    -DALSOFT_BACKEND_OBOE=OFF -DALSOFT_BACKEND_OPENSL=OFF
}

# A prefix is only published when everything a consumer links is there and
# the DLL depends on nothing but Windows itself.
check_prefix() {
  local f imports
  for f in include/AL/al.h include/ogg/ogg.h include/vorbis/vorbisfile.h include/GL/glew.h \
           lib/libogg.a lib/libvorbis.a lib/libvorbisfile.a lib/libglew32.a \
           lib/libOpenAL32.dll.a bin/OpenAL32.dll; do
    [[ -f "$stage_prefix/$f" ]] || die "build finished without $f"
  done
  imports=$("$triplet-objdump" -p "$stage_prefix/bin/OpenAL32.dll" | awk '/DLL Name:/ { print $3 }')
  # MinGW's runtime DLLs are all named lib*.dll; Windows' own never are.
  if grep -qi '^lib' <<<"$imports"; then
    die "OpenAL32.dll needs MinGW runtime DLLs: $(grep -i '^lib' <<<"$imports" | tr '\n' ' ')"
  fi
}

# Every tarball is verified before anything is unpacked, so a bad one stops
# the run before minutes of building, not after.
build_all() {
  local pkg src
  local -A archive
  for pkg in libogg libvorbis glew openal-soft; do
    archive[$pkg]=$(tarball "$pkg")
  done
  for pkg in libogg libvorbis glew openal-soft; do
    src=$(unpack "$pkg" "${archive[$pkg]}")
    "build_${pkg//-/_}" "$src"
    install_licence "$pkg" "$src"
  done
  check_prefix
}

# The functions whose text decides what gets built; their bodies (without
# comments, as bash prints them) are part of the key.
readonly recipe=(build_cmake unpack install_licence build_libogg build_libvorbis build_glew build_openal_soft
  check_prefix build_all)

# The MinGW-w64 runtime (CRT, headers, winpthreads) is linked into every
# library, so its version shapes the result as much as the compiler's does;
# so do the flags CMake takes from the environment.
build_key() {
  {
    lock_entries | awk '{ print $1, $5 }'
    "$triplet-g++-posix" --version
    dpkg-query -W mingw-w64-x86-64-dev mingw-w64-common
    echo "CFLAGS=${CFLAGS:-} CXXFLAGS=${CXXFLAGS:-} CPPFLAGS=${CPPFLAGS:-} LDFLAGS=${LDFLAGS:-}"
    cmake --version
    declare -f "${recipe[@]}"
    cat "$toolchain"
  } | sha256sum | cut -c1-16
}

deps_main "$@"
