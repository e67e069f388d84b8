#!/usr/bin/env bash
# Tries each download in dist/ where a viewer would run it, and prints one line per check:
#   the .deb installed with apt-get into a clean minimal Debian 12 root, and quarn played there;
#   the portable archive unpacked into a clean root that has only Xvfb, Mesa's GL driver and the
#   client libraries of packaging/viewer-packages.txt, and played there;
#   the zip unpacked and played under Wine, double-clicked and through quarn.cmd, in a writable
#   folder and in a read-only one;
#   sha256sum -c SHA256SUMS.
# "Played" is 20 s under Xvfb with OpenAL Soft's null output, then Escape: the program must exit 0
# and its log must hold no ERROR line. The roots are made by mmdebstrap through the mirror apt is
# configured with, in a throwaway directory under /tmp, and removed afterwards. Needs root (for
# the chroots) and a few minutes; the tools it needs are installed first, as the build's are.
# Exits non-zero when a check fails or cannot run.
set -uo pipefail
cd "$(dirname "$0")/.."
root_dir=$PWD
dist=$root_dir/dist
play_seconds=20
quit_seconds=15

work=$(mktemp -d /tmp/quarn-release-check.XXXXXX)
mounted=()
cleanup() {
  local i
  for ((i = ${#mounted[@]} - 1; i >= 0; i--)); do umount "${mounted[i]}" 2>/dev/null || umount -l "${mounted[i]}"; done
  # Never delete through a mount that is still there: /dev is the host's own.
  if findmnt -rn -o TARGET | grep -q "^$work/"; then
    echo "release-check.sh: $work still has mounts; left in place" >&2
  else
    chattr -R -i "$work" 2>/dev/null
    rm -rf --one-file-system "$work"
  fi
}
trap cleanup EXIT

failures=0
result() {
  printf '%-9s %s\n' "$1" "$2"
  [[ $1 == ok || $1 == skipped ]] || failures=$((failures + 1))
}

# The host's apt sources, as files mmdebstrap copies into the root: the same mirror, no name of it here.
apt_sources() {
  local file
  for file in /etc/apt/sources.list.d/*.sources /etc/apt/sources.list; do
    [[ -f $file ]] && grep -qE '^(deb |Types:)' "$file" && echo "$file"
  done
}

# make_root DIRECTORY PACKAGE...: a minimal Debian 12 with those packages; its output in DIRECTORY.log.
make_root() {
  local target=$1 sources
  shift
  mapfile -t sources < <(apt_sources)
  mmdebstrap --quiet --variant=minbase --include="$(IFS=,; echo "$*")" bookworm "$target" "${sources[@]}" \
    >"$target.log" 2>&1
}

enter_root() {
  mount -t proc proc "$1/proc" && mounted+=("$1/proc")
  mount --bind /dev "$1/dev" && mounted+=("$1/dev")
}

leave_root() {
  local i keep=()
  for ((i = ${#mounted[@]} - 1; i >= 0; i--)); do
    if [[ ${mounted[i]} == "$1"/* ]]; then umount "${mounted[i]}"; else keep=("${mounted[i]}" "${keep[@]}"); fi
  done
  mounted=("${keep[@]}")
}

# write_player_script FILE: a script that plays its command on a fresh Xvfb for $play_seconds
# seconds, sends Escape to the player's window and gives it $quit_seconds seconds to end. It prints
# the command's output, then what became of the Escape, then "status N". Xvfb picks a free display
# itself, since a chroot shares the host's abstract sockets.
write_player_script() {
  cat >"$1" <<EOF
#!/bin/sh
scratch=\$(mktemp -d)
Xvfb -displayfd 3 -screen 0 1280x720x24 -nolisten tcp +extension GLX 3>"\$scratch/display" >"\$scratch/xvfb.log" 2>&1 &
xvfb=\$!
for i in \$(seq 100); do [ -s "\$scratch/display" ] && break; sleep 0.1; done
export DISPLAY=:\$(cat "\$scratch/display") ALSOFT_DRIVERS=null
# A process group of its own, so that a player which does not quit is ended with its launcher.
setsid "\$@" >"\$scratch/output" 2>&1 &
player=\$!
sleep $play_seconds
# The last window of that name: the real one, made after the start-up's hidden one.
window=\$(xdotool search --onlyvisible --name '^QuarnEngine\$' 2>/dev/null | tail -1)
if [ -z "\$window" ]; then
  escape="escape: no player window after $play_seconds s"
elif xdotool windowfocus --sync "\$window" key Escape; then
  escape="escape: sent"
else
  escape="escape: xdotool failed"
fi
for i in \$(seq $((quit_seconds * 10))); do kill -0 \$player 2>/dev/null || break; sleep 0.1; done
if kill -0 \$player 2>/dev/null; then
  escape="\$escape, still running $quit_seconds s later: ended"
  kill -- -\$player
fi
wait \$player
status=\$?
kill \$xvfb
cat "\$scratch/output"
echo "\$escape"
echo "status \$status"
rm -rf "\$scratch"
EOF
  chmod +x "$1"
}

# judge ROOT WHAT OUTPUT: quit by Escape, exit 0 and a log without ERROR lines, as a one-line verdict.
judge() {
  local target=$1 what=$2 output=$3 status escape log errors
  status=$(sed -n 's/^status //p' <<<"$output")
  escape=$(sed -n 's/^escape: //p' <<<"$output")
  log=$(sed -n 's/^Log: //p' <<<"$output")
  if [[ -z $log || ! -f $target$log ]]; then
    result FAILED "$what: exit status ${status:-?}, $escape, no log reported"
    return
  fi
  errors=$(iconv -f UTF-16LE -t UTF-8 "$target$log" | tr -d '\r' | grep '^ERROR')
  if [[ $escape == sent && $status == 0 && -z $errors ]]; then
    result ok "$what: played ${play_seconds} s, quit on Escape, exit 0, no ERROR line in $log"
  else
    result FAILED "$what: escape $escape, exit status $status, $(grep -c . <<<"$errors") ERROR line(s) in $log${errors:+, the first: ${errors%%$'\n'*}}"
  fi
}

xserver_packages=(xvfb xauth xdotool)

check_deb() {
  local deb=("$dist"/quarn_*_amd64.deb) target=$work/deb-root
  [[ -f ${deb[0]} ]] || { result FAILED "deb: no dist/quarn_*_amd64.deb (run scripts/release.sh)"; return; }
  if ! make_root "$target" "${xserver_packages[@]}"; then
    result FAILED "deb: mmdebstrap failed (see $target.log)"
    return
  fi
  cp "${deb[0]}" "$target/tmp/"
  enter_root "$target"
  # As on a fresh system: the package lists first, then the package and what it depends on.
  if ! { chroot "$target" apt-get update -q && chroot "$target" apt-get install -y -q "/tmp/$(basename "${deb[0]}")"; } \
    >"$target.install.log" 2>&1; then
    result FAILED "deb: apt-get install failed: $(tail -1 "$target.install.log")"
  else
    write_player_script "$target/play.sh"
    judge "$target" "deb ($(basename "${deb[0]}"), installed in a clean bookworm root)" \
      "$(chroot "$target" env HOME=/root PATH=/usr/bin:/bin:/usr/games /play.sh quarn)"
  fi
  leave_root "$target"
}

check_portable() {
  local archive=("$dist"/quarn-*-linux-x86_64.tar.gz) target=$work/portable-root viewer present
  [[ -f ${archive[0]} ]] || { result FAILED "tar.gz: no dist/quarn-*-linux-x86_64.tar.gz"; return; }
  mapfile -t viewer < <(grep -v '^#' packaging/viewer-packages.txt)
  if ! make_root "$target" "${xserver_packages[@]}" "${viewer[@]}"; then
    result FAILED "tar.gz: mmdebstrap failed (see $target.log)"
    return
  fi
  # The archive must not lean on the libraries it carries being installed.
  present=$(chroot "$target" dpkg-query -W -f '${Package}\n' \
    libsdl2-2.0-0 libopenal1 libvorbis0a libvorbisfile3 libogg0 libglew2.2 2>/dev/null)
  if [[ -n $present ]]; then
    result FAILED "tar.gz: the clean root has $(echo $present) installed, so it proves nothing"
    return
  fi
  tar -xzf "${archive[0]}" -C "$target/opt"
  local folder
  folder=$(basename "${archive[0]}" .tar.gz)
  enter_root "$target"
  write_player_script "$target/play.sh"
  judge "$target" "tar.gz (unpacked in a root with only X, Mesa and the viewer libraries)" \
    "$(chroot "$target" /play.sh "/opt/$folder/quarn")"
  leave_root "$target"
}

# unpack_zip NAME: the zip unpacked into $work/NAME; prints the folder that holds the program.
unpack_zip() {
  mkdir -p "$work/$1"
  unzip -q "${zip[0]}" -d "$work/$1"
  local program=("$work/$1"/*/QuarnEngine.exe)
  dirname "${program[0]}"
}

check_zip() {
  local zip=("$dist"/quarn-*-windows-x64.zip)
  [[ -f ${zip[0]} ]] || { result FAILED "zip: no dist/quarn-*-windows-x64.zip"; return; }
  # No Mono or Gecko installer in the prefix: its dialogs would stand in the player's way.
  export WINEDEBUG=-all WINEDLLOVERRIDES=mscoree,mshtml=
  # A new Wine prefix takes longer to make than the player is given to start.
  wineboot --init >/dev/null 2>&1 && wineserver -w
  write_player_script "$work/play.sh"
  local folder output
  folder=$(unpack_zip double-click)
  output=$(cd "$folder" && "$work/play.sh" wine QuarnEngine.exe)
  # Double-clicked, the program starts in its own folder and writes its log there.
  judge "" "zip (under Wine)" "$output"$'\n'"Log: $folder/LogFile.txt"

  folder=$(unpack_zip cmd-writable)
  check_quarn_cmd "$folder" "$folder/LogFile.txt" "quarn.cmd in a writable folder (under Wine)"
  local per_user
  per_user=$(winepath -u "$(wine cmd /c echo %LOCALAPPDATA% | tr -d '\r')")/quarn
  rm -rf "$per_user"
  folder=$(unpack_zip cmd-read-only)
  # Read-only even to root, as Program Files is to a viewer.
  chattr +i "$folder"
  check_quarn_cmd "$folder" "$per_user/LogFile.txt" "quarn.cmd in a read-only folder (under Wine)"
  chattr -i "$folder"
}

# check_quarn_cmd FOLDER LOG WHAT: plays through the folder's quarn.cmd, which must say nothing of
# its own and leave the log at LOG.
check_quarn_cmd() {
  local output complaints
  output=$(cd "$1" && "$work/play.sh" wine cmd /c quarn.cmd)
  complaints=$(grep -E "Access denied|Can't recognize|stands in the way|cannot make" <<<"$output")
  if [[ -n $complaints ]]; then
    result FAILED "$3: it said \"$(head -1 <<<"$complaints" | tr -d '\r')\""
  else
    judge "" "$3" "$output"$'\n'"Log: $2"
  fi
}

check_sums() {
  if [[ ! -f $dist/SHA256SUMS ]]; then
    result FAILED "SHA256SUMS: not in dist/"
    return
  fi
  local output
  if output=$(cd "$dist" && sha256sum -c SHA256SUMS 2>&1); then
    result ok "SHA256SUMS: $(tr '\n' ' ' <<<"$output")"
  else
    result FAILED "SHA256SUMS: $(grep -v ': OK$' <<<"$output" | tr '\n' ' ')"
  fi
}

if [[ $(id -u) -ne 0 ]]; then
  echo "release-check.sh: needs root, for mmdebstrap and chroot" >&2
  exit 2
fi
if ! scripts/install-deps.sh mmdebstrap xdotool unzip e2fsprogs wine wine64; then
  echo "release-check.sh: the tools it needs could not be installed" >&2
  exit 2
fi
check_deb
check_portable
check_zip
check_sums
exit $((failures > 0))
