#!/usr/bin/env bash
# Builds the downloads from a clean Release tree (build-release/) and writes them to dist/:
#   quarn_<version>_amd64.deb              the Debian package
#   quarn-<version>-linux-x86_64.tar.gz    the portable archive: unpack anywhere, run ./quarn
#   quarn-<version>-windows-x64.zip        the Windows build's run directory
#   SHA256SUMS                             over the ones that were made
# Each download carries the licence texts of what it bundles, in licenses/. A step that fails (a
# missing tool, a failed command) stops that download with one line saying why, after the others
# have run, and the script then exits non-zero. Two runs on the same commit give the same bytes:
# every time stamp is the commit's. A tree with uncommitted changes makes a <version>-dirty release.
# scripts/release-check.sh then tries each download where a viewer would run it.
set -euo pipefail
shopt -s inherit_errexit
cd "$(dirname "$0")/.."
root=$PWD
# The tools that honour it (dpkg-deb among them) date what they write by the commit.
SOURCE_DATE_EPOCH=$(git log -1 --format=%ct)
export SOURCE_DATE_EPOCH
build=$root/build-release
dist=$root/dist

version=$(sed -n 's/^project(QuarnEngine VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
suffix=""
if [[ -n "$(git status --porcelain)" ]]; then
  suffix=-dirty
  echo "release.sh: the tree has uncommitted changes, so this release is $version$suffix"
fi
version+=$suffix
debian_version=${version//-/+}
portable_name=quarn-$version-linux-x86_64
windows_name=quarn-$version-windows-x64

failed=()
step() { printf '\n== %s ==\n' "$1"; }
# make_download NAME FUNCTION: runs one download's step in a subshell where set -e holds for every command,
# which it would not in a function called from an "if" or before "||". A failure stops that
# download only.
make_download() {
  local name=$1 status
  step "$name"
  set +e
  (
    set -e
    "$2"
  )
  status=$?
  set -e
  if [[ $status -ne 0 ]]; then
    echo "release.sh: $name: not made" >&2
    failed+=("$name")
  fi
}
# Stops the step at the first of the given commands that is not installed, naming the package
# that brings it.
need_tools() {
  local tool package
  for tool in "$@"; do
    package=${tool#*=}
    tool=${tool%%=*}
    if ! command -v "$tool" >/dev/null; then
      echo "release.sh: missing tool: $tool (apt-get install $package)" >&2
      return 1
    fi
  done
}
fail() {
  echo "release.sh: $1" >&2
  return 1
}
# Dates every file of a tree by the commit, for archives that store the files' times.
date_by_commit() {
  find "$1" -exec touch -h -d "@$SOURCE_DATE_EPOCH" {} +
}

build_tree() {
  step "Release build ($version)"
  # The packaging tools too, so that a fresh machine makes every download.
  scripts/install-deps.sh dpkg-dev lintian patchelf zip
  rm -rf "$build" "$dist"
  mkdir -p "$dist"
  cmake --preset release -DQUARN_VERSION_SUFFIX="$suffix" >/dev/null
  cmake --build --preset release -j"$(nproc)"
  local reported
  reported=$("$build/run/QuarnEngine" --version)
  if [[ "$reported" != "QuarnEngine $version" ]]; then
    echo "release.sh: the built player says \"$reported\", not QuarnEngine $version" >&2
    exit 1
  fi
}

# The tree a component installs, stripped, under $2.
stage() {
  rm -rf "$2"
  DESTDIR=${3:-} cmake --install "$build" --component "$1" --prefix "${4:-$2}" --strip >/dev/null
}

debian_package() {
  need_tools dpkg-shlibdeps=dpkg-dev dpkg-gencontrol=dpkg-dev dpkg-deb=dpkg lintian=lintian
  # Laid out as a Debian source tree would be, which is where the tools look.
  local work=$build/stage/debian tree=$build/stage/debian/debian/quarn
  rm -rf "$work"
  stage debian "$tree" "$tree" /usr
  mkdir -p "$tree/DEBIAN"
  cp packaging/debian-control "$work/debian/control"
  cp "$build/packaging/changelog" "$work/debian/changelog"
  # The Depends are those of the libraries the player is linked against, with the versions their
  # symbols need; Installed-Size and the rest come from the tree and the changelog.
  (cd "$work" && dpkg-shlibdeps -Tdebian/substvars "$tree/usr/lib/games/quarn/QuarnEngine" &&
    dpkg-gencontrol -pquarn -P"$tree" -Tdebian/substvars)
  (cd "$tree" && find usr -type f -print0 | sort -z | xargs -0 md5sum) >"$tree/DEBIAN/md5sums"
  date_by_commit "$tree"
  local deb=$dist/quarn_${debian_version}_amd64.deb
  dpkg-deb --root-owner-group -Zxz --build "$tree" "$deb" >/dev/null
  grep -E '^(Version|Installed-Size|Depends):' "$tree/DEBIAN/control"
  echo "lintian:"
  local report
  # (lintian also warns that it runs as root, which says nothing of the package.)
  report=$(lintian --info "$deb" 2>&1 | grep -v '^running with root privileges' || true)
  echo "${report:-  (nothing to report)}"
  if grep -q '^E:' <<<"$report"; then
    rm -f "$deb"
    fail "lintian reports errors"
  fi
}

# The packages a viewer's machine is taken to have: the essential set, apt, and the list in
# packaging/viewer-packages.txt, with everything they depend on.
viewer_machine_packages() {
  local essential
  essential=$(dpkg-query -W -f '${Package} ${Essential}\n' | awk '$2 == "yes" { print $1 }')
  # shellcheck disable=SC2046,SC2086
  apt-cache depends --recurse --no-recommends --no-suggests --no-conflicts --no-breaks --no-replaces \
    --no-enhances $essential apt $(grep -v '^#' packaging/viewer-packages.txt) | grep -v '^ ' | sort -u
}

# Copies into $1/lib every library the player loads that a viewer's machine does not bring.
bundle_libraries() {
  local tree=$1 provided soname path line
  provided=$(viewer_machine_packages)
  local -A needed owner
  while read -r soname path; do needed[$soname]=$(readlink -f "$path"); done \
    < <(ldd "$tree/QuarnEngine" | awk '$2 == "=>" && $3 ~ /^\// { print $1, $3 }')
  # One query for all: Debian registers some libraries under /lib, the others under /usr/lib.
  while IFS= read -r line; do owner[${line#*: }]=${line%%:*}; done \
    < <(for path in "${needed[@]}"; do echo "$path"; echo "${path#/usr}"; done | xargs dpkg -S 2>/dev/null)
  mkdir -p "$tree/lib"
  for soname in "${!needed[@]}"; do
    path=${needed[$soname]}
    local package=${owner[$path]:-${owner[${path#/usr}]:-}}
    [[ -n $package ]] || fail "no package owns $path"
    if ! grep -qx "$package" <<<"$provided"; then
      cp "$path" "$tree/lib/$soname"
      bundled_packages[$package]=1
    fi
  done
  # The player finds them through its run path, and they find each other through theirs.
  patchelf --set-rpath '$ORIGIN/lib' "$tree/QuarnEngine"
  for library in "$tree"/lib/*; do
    patchelf --set-rpath '$ORIGIN' "$library"
  done
}

# The libraries the archive promises to carry are there, the machine's own C library, OpenGL and
# X libraries are not, and the player and the carried libraries find the carried ones first.
check_bundle() {
  local tree=$1 lib=$1/lib name library
  for name in libSDL2-2.0.so.0 libopenal.so.1 libvorbisfile.so.3 libvorbis.so.0 libogg.so.0 libGLEW.so.2.2; do
    [[ -f $lib/$name ]] || fail "$name is not in the archive"
  done
  for name in "$lib"/libc.so* "$lib"/libGL.so* "$lib"/libGLX* "$lib"/libOpenGL* "$lib"/libEGL* "$lib"/libX11.so* \
    "$lib"/libxcb.so*; do
    [[ ! -e $name ]] || fail "$name must come from the viewer's machine"
  done
  # The editor's server speaks plain HTTP on the author's own machine: a TLS or compression library
  # carried here would never get its security updates.
  for name in "$lib"/libssl* "$lib"/libcrypto* "$lib"/libbrotli* "$lib"/libcpp-httplib*; do
    [[ ! -e $name ]] || fail "${name##*/} is carried, but nothing in the player needs it"
  done
  [[ $(patchelf --print-rpath "$tree/QuarnEngine") == '$ORIGIN/lib' ]] ||
    fail "the player's run path is \"$(patchelf --print-rpath "$tree/QuarnEngine")\", not \$ORIGIN/lib"
  for library in "$lib"/*; do
    [[ $(patchelf --print-rpath "$library") == '$ORIGIN' ]] || fail "${library##*/} has no \$ORIGIN run path"
  done
}

# The licence of each package whose library the archive carries, as Debian ships it, the LGPL's
# full texts (OpenAL Soft's copyright names them only), stb's (its image decoder is compiled in), and
# where OpenAL Soft's exact source is and how to put another build in its place.
portable_licences() {
  local tree=$1 package openal
  mkdir -p "$tree/licenses"
  for package in "${!bundled_packages[@]}" libstb-dev; do
    cp "/usr/share/doc/$package/copyright" "$tree/licenses/$package.copyright"
  done
  cp /usr/share/common-licenses/LGPL-2 /usr/share/common-licenses/LGPL-2.1 "$tree/licenses/"
  openal=$(dpkg-query -W -f '${source:Package} ${source:Version}' libopenal1)
  cat >"$tree/licenses/OpenAL-Soft.txt" <<NOTE
lib/libopenal.so.1 is OpenAL Soft, under the GNU Library General Public License, version 2 or
later, parts of it version 2.1 or later (LGPL-2 and LGPL-2.1 in this folder; its copyright
notices are in libopenal1.copyright).

Its exact source is Debian's source package ${openal% *}, version ${openal#* }: on a Debian
system "apt-get source ${openal% *}=${openal#* }", or from snapshot.debian.org under
package/${openal% *}/${openal#* }/.

To use another build of OpenAL Soft (any with the same soname, libopenal.so.1), put it in lib/
in place of this one; or delete lib/libopenal.so.1, and the player takes the system's.
NOTE
}

portable_archive() {
  need_tools patchelf=patchelf ldd=libc-bin apt-cache=apt
  local tree=$build/stage/$portable_name
  local -A bundled_packages
  stage portable "$tree"
  bundle_libraries "$tree"
  check_bundle "$tree"
  echo "carried in lib/: $(cd "$tree/lib" && echo *)"
  portable_licences "$tree"
  # Same files, same archive: names sorted, owner root, times those of the last commit, and no
  # name or time in the gzip header.
  tar --sort=name --owner=0 --group=0 --numeric-owner --mtime="@$SOURCE_DATE_EPOCH" \
    -C "$build/stage" -cf - "$portable_name" | gzip -9n >"$dist/$portable_name.tar.gz"
}

# The Windows player is cross-built by scripts/windows-deps.sh and the "windows" preset, whose
# run directory holds QuarnEngine.exe, its DLLs and the data.
windows_zip() {
  need_tools zip=zip
  local windows_build=$root/build-windows-release deps
  rm -rf "$windows_build"
  deps=$(scripts/windows-deps.sh | tail -1)
  cmake --preset windows -B "$windows_build" -DQUARN_HOST_BUILD_DIR="$build" -DQUARN_BUILD_TESTS=OFF \
    -DQUARN_VERSION_SUFFIX="$suffix" >/dev/null
  cmake --build "$windows_build" -j"$(nproc)"
  local tree=$build/stage/$windows_name
  rm -rf "$tree"
  mkdir -p "$build/stage"
  cp -r "$windows_build/run" "$tree"
  rm -f "$tree/LogFile.txt"
  # Notepad and cmd.exe both read CRLF lines.
  sed 's/$/\r/' "$build/packaging/windows/README.txt" >"$tree/README.txt"
  sed 's/$/\r/' packaging/quarn.cmd >"$tree/quarn.cmd"
  sed 's/$/\r/' LICENSE >"$tree/LICENSE.txt"
  windows_licences "$tree" "$deps"
  # Names sorted and every time the commit's, so that the same tree gives the same zip.
  date_by_commit "$tree"
  rm -f "$dist/$windows_name.zip"
  (cd "$build/stage" && find "$windows_name" | LC_ALL=C sort | zip -q -X -D -@ "$dist/$windows_name.zip")
}

# The licences of the libraries built into the program and the DLL, from their upstream sources
# (kept in the libraries' prefix $2), and of the compiler's runtime and winpthreads, linked in
# statically, and the header-only libraries, as Debian ships them.
windows_licences() {
  local tree=$1 deps=$2 licences=$1/licenses name file size sha directory
  mkdir -p "$licences"
  for name in openal-soft libogg libvorbis glew; do
    cp -r "$deps/share/licenses/$name" "$licences/$name"
  done
  cp "/usr/share/doc/$(dpkg -S /usr/include/boost/beast.hpp | cut -d: -f1)/copyright" "$licences/boost.copyright"
  cp /usr/share/doc/libstb-dev/copyright "$licences/stb.copyright"
  cp /usr/share/doc/nlohmann-json3-dev/copyright "$licences/nlohmann-json.copyright"
  cp /usr/share/doc/gcc-mingw-w64-base/copyright "$licences/gcc-runtime.copyright"
  cp /usr/share/common-licenses/GPL-3 "$licences/gcc-runtime.GPL-3"
  cp /usr/share/doc/mingw-w64-common/copyright "$licences/mingw-w64-and-winpthreads.copyright"
  read -r _ _ file size sha directory < <(awk '$1 == "openal-soft"' scripts/windows-deps.lock)
  sed 's/$/\r/' >"$licences/OpenAL-Soft.txt" <<NOTE
OpenAL32.dll is OpenAL Soft, under the GNU Library General Public License, version 2 or later
(openal-soft/COPYING in this folder, as its source carries it).

Its exact source is $file ($size bytes, SHA-256
$sha), the upstream release as Debian's archive
keeps it under $directory/. QuarnEngine's scripts/windows-deps.sh builds it, with the
options listed there, as a DLL that needs nothing but Windows.

To use another build of OpenAL Soft (64-bit, any version), put its OpenAL32.dll in this folder in
place of this one.
NOTE
}

checksums() {
  local files
  shopt -s nullglob
  files=("$dist"/*.deb "$dist"/*.tar.gz "$dist"/*.zip)
  shopt -u nullglob
  # With no file, sha256sum would read its standard input.
  [[ ${#files[@]} -gt 0 ]] || fail "no download was made"
  (cd "$dist" && sha256sum -- "${files[@]##*/}" >SHA256SUMS)
  cat "$dist/SHA256SUMS"
}

build_tree
make_download "Debian package" debian_package
make_download "Portable archive" portable_archive
make_download "Windows zip" windows_zip
make_download "SHA256SUMS" checksums

step "dist/"
(cd "$dist" && ls -l --block-size=K)
if [[ ${#failed[@]} -ne 0 ]]; then
  echo "release.sh: not made: ${failed[*]}" >&2
  exit 1
fi
