#!/usr/bin/env bash
# Builds the downloads from a clean Release tree (build-release/) and writes them to dist/:
#   quarn_<version>_amd64.deb              the Debian package
#   quarn-<version>-linux-x86_64.tar.gz    the portable archive: unpack anywhere, run ./quarn
#   quarn-<version>-windows-x64.zip        the Windows build's run directory
#   SHA256SUMS                             over the ones that were made
# A step whose tool is missing stops with one line saying which, after the others have run, and
# the script then exits non-zero. A tree with uncommitted changes makes a <version>-dirty release.
# scripts/release-check.sh then tries each download where a viewer would run it.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
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
# Names the first of the given commands that is not installed, with the package that brings it.
missing_tool() {
  local tool package
  for tool in "$@"; do
    package=${tool#*=}
    tool=${tool%%=*}
    if ! command -v "$tool" >/dev/null; then
      echo "missing tool: $tool (apt-get install $package)"
      return 0
    fi
  done
  return 1
}
stop() {
  echo "release.sh: $1: $2" >&2
  failed+=("$1")
}

build_tree() {
  step "Release build ($version)"
  scripts/install-deps.sh
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
  step "Debian package"
  local missing
  if missing=$(missing_tool dpkg-shlibdeps=dpkg-dev dpkg-gencontrol=dpkg-dev dpkg-deb=dpkg lintian=lintian); then
    stop "Debian package" "$missing"
    return
  fi
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
    stop "Debian package" "lintian reports errors"
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
    if [[ -z $package ]]; then
      echo "release.sh: no package owns $path" >&2
      return 1
    fi
    grep -qx "$package" <<<"$provided" || cp "$path" "$tree/lib/$soname"
  done
  # The player finds them through its run path, and they find each other through theirs.
  patchelf --set-rpath '$ORIGIN/lib' "$tree/QuarnEngine"
  for library in "$tree"/lib/*; do
    patchelf --set-rpath '$ORIGIN' "$library"
  done
}

# The four the archive promises to carry are there, and the machine's own C library, OpenGL and
# X libraries are not.
check_bundle() {
  local lib=$1/lib name
  for name in libSDL2-2.0.so.0 libopenal.so.1 libvorbisfile.so.3 libvorbis.so.0 libogg.so.0 libGLEW.so.2.2; do
    [[ -f $lib/$name ]] || { echo "release.sh: $name is not in the archive" >&2; return 1; }
  done
  for name in "$lib"/libc.so* "$lib"/libGL.so* "$lib"/libGLX* "$lib"/libOpenGL* "$lib"/libX11.so* "$lib"/libxcb.so*; do
    [[ ! -e $name ]] || { echo "release.sh: $name must come from the viewer's machine" >&2; return 1; }
  done
}

portable_archive() {
  step "Portable archive"
  local missing
  if missing=$(missing_tool patchelf=patchelf ldd=libc-bin apt-cache=apt); then
    stop "Portable archive" "$missing"
    return
  fi
  local tree=$build/stage/$portable_name
  stage portable "$tree"
  bundle_libraries "$tree" && check_bundle "$tree" || { stop "Portable archive" "the libraries"; return; }
  echo "carried in lib/: $(cd "$tree/lib" && echo *)"
  # Same files, same archive: names sorted, owner root, times those of the last commit.
  tar --sort=name --owner=0 --group=0 --numeric-owner --mtime="@$(git log -1 --format=%ct)" \
    -C "$build/stage" -czf "$dist/$portable_name.tar.gz" "$portable_name"
}

# The Windows player is cross-built by scripts/windows-deps.sh and the "windows" preset, whose
# run directory holds QuarnEngine.exe, its DLLs and the data.
windows_zip() {
  step "Windows zip"
  if [[ ! -x scripts/windows-deps.sh ]]; then
    stop "Windows zip" "no Windows build in this tree (scripts/windows-deps.sh is missing)"
    return
  fi
  local missing
  if missing=$(missing_tool zip=zip); then
    stop "Windows zip" "$missing"
    return
  fi
  local windows_build=$root/build-windows-release
  rm -rf "$windows_build"
  scripts/windows-deps.sh || { stop "Windows zip" "scripts/windows-deps.sh failed"; return; }
  cmake --preset windows -B "$windows_build" -DQUARN_HOST_BUILD_DIR="$build" -DQUARN_BUILD_TESTS=OFF \
    -DQUARN_VERSION_SUFFIX="$suffix" >/dev/null
  cmake --build "$windows_build" -j"$(nproc)"
  local tree=$build/stage/$windows_name
  rm -rf "$tree"
  cp -r "$windows_build/run" "$tree"
  rm -f "$tree/LogFile.txt"
  # Notepad and cmd.exe both read CRLF lines.
  sed 's/$/\r/' "$build/packaging/windows/README.txt" >"$tree/README.txt"
  sed 's/$/\r/' packaging/quarn.cmd >"$tree/quarn.cmd"
  (cd "$build/stage" && zip -qr -X "$dist/$windows_name.zip" "$windows_name")
}

checksums() {
  step "SHA256SUMS"
  (cd "$dist" && shopt -s nullglob && files=(*.deb *.tar.gz *.zip) && sha256sum -- "${files[@]}" >SHA256SUMS)
  cat "$dist/SHA256SUMS"
}

build_tree
debian_package
portable_archive
windows_zip
checksums

step "dist/"
(cd "$dist" && ls -l --block-size=K)
if [[ ${#failed[@]} -ne 0 ]]; then
  echo "release.sh: not made: ${failed[*]}" >&2
  exit 1
fi
