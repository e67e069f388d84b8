# Sourced by the scripts that build libraries from the upstream sources in Debian's source archive
# (scripts/windows-deps.sh, scripts/web-deps.sh): the mirror as apt's own configuration names it,
# the signed source index, the lock of tarballs, and the cache of prefixes keyed by their recipe.
#
# The sourcing script sets, before calling deps_main:
#   deps_name     its name, for messages ("windows-deps")
#   deps_title    what its lock pins, for the lock's header ("Windows libraries")
#   suite packages keyring apt_packages root_dir lock cache_root logs
# and defines build_key (prints the prefix's key) and build_all (fills $stage_prefix).

say() { echo "$deps_name: $*" >&2; }
die() { echo "$deps_name: $*" >&2; exit 1; }

# The run's private scratch folder (mktemp), removed on exit.
work=""
# Set once the key is known: the final prefix, and its staging copy (DESTDIR).
prefix="" stage="" stage_prefix=""

# --- packages ---------------------------------------------------------------

install_packages() {
  local missing=() p status
  for p in "${apt_packages[@]}"; do
    status=$(dpkg-query -W -f='${Status}' "$p" 2>/dev/null || true)
    [[ "$status" == "install ok installed" ]] || missing+=("$p")
  done
  [[ ${#missing[@]} -eq 0 ]] && return 0

  local sudo="" log
  if [[ $(id -u) -ne 0 ]]; then
    command -v sudo >/dev/null || die "apt-get install failed: ${missing[*]} missing and neither root nor sudo"
    sudo=sudo
  fi
  say "installing ${missing[*]}"
  log=$(mktemp "${TMPDIR:-/tmp}/quarn-$deps_name-apt.XXXXXX.log")
  # apt's own chatter goes to a log; the caller gets one line either way.
  if ! { $sudo env DEBIAN_FRONTEND=noninteractive apt-get update -qq &&
         $sudo env DEBIAN_FRONTEND=noninteractive \
           apt-get install -y -qq --no-install-recommends "${missing[@]}"; } >"$log" 2>&1; then
    die "apt-get install failed for ${missing[*]} (log: $log)"
  fi
  rm -f "$log"
}

# --- the mirror -------------------------------------------------------------

# Prints the first URI of the main Debian archive in apt's sources: the first
# deb/deb-src entry whose suites include a plain one (not -security/-updates,
# which live in other archives). Reads the files apt itself reads, one-line
# and deb822 alike, so no host name is ever written down here.
apt_mirror() {
  local list parts files=() f
  eval "$(apt-config shell list Dir::Etc::sourcelist/f parts Dir::Etc::sourceparts/d)"
  for f in "$list" "${parts%/}"/*.list "${parts%/}"/*.sources; do
    [[ -f "$f" ]] && files+=("$f")
  done
  [[ ${#files[@]} -gt 0 ]] || return 0
  awk '
    function plain(suites,   n, a, i) {
      n = split(suites, a, /[ \t]+/)
      for (i = 1; i <= n; i++) if (a[i] != "" && a[i] !~ /-/) return 1
      return 0
    }
    function found(uri) { if (uri ~ /^https?:\/\//) { print uri; done = 1; exit } }
    function flush(   u) {
      if (types ~ /(^| )deb(-src)?( |$)/ && enabled != "no" && plain(suites)) {
        split(uris, u, /[ \t]+/); found(u[1] != "" ? u[1] : u[2])
      }
      types = uris = suites = ""; enabled = "yes"
    }
    FNR == 1 { flush() }
    FILENAME ~ /\.list$/ {
      sub(/#.*/, ""); gsub(/\[[^]]*\]/, "")
      if (($1 == "deb" || $1 == "deb-src") && plain($3)) found($2)
      next
    }
    /^[ \t]*$/ { flush(); next }
    /^#/ { next }
    /^[A-Za-z-]+:/ {
      key = tolower(substr($0, 1, index($0, ":") - 1)); val = substr($0, index($0, ":") + 1)
      if (key == "types") types = val
      else if (key == "uris") uris = val
      else if (key == "suites") suites = val
      else if (key == "enabled") { enabled = tolower(val); gsub(/[ \t]/, "", enabled) }
    }
    END { if (!done) flush() }
  ' "${files[@]}" | sed 's:/*$::'
}

# Follows apt's proxy setting, so curl reaches the mirror the way apt does.
use_apt_proxy() {
  local proxy=""
  eval "$(apt-config shell proxy Acquire::http::Proxy)"
  [[ -n "$proxy" && "$proxy" != DIRECT ]] && export http_proxy=$proxy
  return 0
}

# fetch URL FILE LABEL: one line naming LABEL when the download fails.
fetch() {
  local err
  err=$(curl -fsSL --retry 2 -o "$2" "$1" 2>&1) || { err=${err#curl: }; die "$3: download failed (${err#(*) })"; }
}

# --- the signed index -------------------------------------------------------

# The lock's own lines: "package version file size sha256 directory".
lock_entries() { grep -v -e '^#' -e '^Date:' -e '^$' "$lock"; }
lock_date() { sed -n 's/^Date: //p' "$lock"; }

# Downloads and verifies the suite's InRelease, then its source index, and
# writes each package's .orig tarball into the lock.
refresh_lock() {
  local mirror=$1 dir=$work/index
  mkdir -p "$dir"
  say "reading the signed $suite source index"
  fetch "$mirror/dists/$suite/InRelease" "$dir/InRelease" "$suite InRelease"
  gpgv --quiet --keyring "$keyring" --output "$dir/Release" "$dir/InRelease" >/dev/null 2>&1 ||
    die "$suite InRelease: signature does not verify against $keyring"
  grep -qx "Codename: $suite" "$dir/Release" || die "$suite InRelease: signed for another suite"
  check_index_dates "$dir/Release"

  local hash size name decompress
  read -r hash size name < <(awk '
    /^[^ ]/ { in256 = ($0 == "SHA256:") }
    in256 && $3 == "main/source/Sources.xz" { print; found = 1; exit }
    in256 && $3 == "main/source/Sources.gz" { gz = $0 }
    END { if (!found && gz != "") print gz }' "$dir/Release") ||
    die "$suite InRelease: lists no main/source/Sources index"
  [[ "$name" == *.xz ]] && decompress="xz -dc" || decompress="gzip -dc"

  # By-hash paths cannot change under us between the two downloads.
  local url=$mirror/dists/$suite/$name
  grep -qx "Acquire-By-Hash: yes" "$dir/Release" &&
    url=$mirror/dists/$suite/main/source/by-hash/SHA256/$hash
  fetch "$url" "$dir/Sources" "$suite $name"
  check_file "$dir/Sources" "$hash" "$size" "$suite $name" "InRelease"

  # Sorted, so the same sources always give the same lock.
  $decompress "$dir/Sources" | parse_sources | sort > "$dir/entries" ||
    die "$suite $name: cannot be read"
  local p
  for p in "${packages[@]}"; do
    grep -q "^$p " "$dir/entries" || die "$suite $name: no single .orig tarball for $p"
  done
  {
    echo "# The upstream sources of the $deps_title, from Debian $suite's signed source index."
    echo "# Written by scripts/$deps_name.sh --refresh: review the change, then commit it."
    echo "# package version file size sha256 directory"
    echo "Date: $(sed -n 's/^Date: //p' "$dir/Release")"
    cat "$dir/entries"
  } >"$dir/lock"
  if cmp -s "$dir/lock" "$lock"; then
    say "the lock is up to date"
  else
    mv -f "$dir/lock" "$lock"
    say "rewrote ${lock#"$root_dir"/}: review it (git diff) and commit it"
  fi
}

# An index past its Valid-Until, or older than the one the lock was taken
# from, is refused: a mirror could otherwise serve an old, validly signed
# index and have older sources built.
check_index_dates() {
  local date valid_until now locked
  date=$(sed -n 's/^Date: //p' "$1")
  valid_until=$(sed -n 's/^Valid-Until: //p' "$1")
  now=$(date -u +%s)
  [[ -n "$date" ]] || die "$suite InRelease: no Date"
  date=$(date -u -d "$date" +%s 2>/dev/null) || die "$suite InRelease: unreadable Date"
  if [[ -n "$valid_until" ]]; then
    valid_until=$(date -u -d "$valid_until" +%s 2>/dev/null) || die "$suite InRelease: unreadable Valid-Until"
    ((now <= valid_until)) || die "$suite InRelease: expired on $(date -u -d "@$valid_until")"
  fi
  if [[ -f "$lock" && -n "$(lock_date)" ]]; then
    locked=$(date -u -d "$(lock_date)" +%s 2>/dev/null) || die "${lock##*/}: unreadable Date"
    ((date >= locked)) ||
      die "$suite InRelease: dated $(date -u -d "@$date"), older than the lock's $(lock_date); refused"
  fi
}

# Reads a Sources index on stdin; prints one pin line per wanted package.
# Extra-Source-Only stanzas are older versions kept for Built-Using, not the
# suite's own; a package with more than one real stanza is left out (and so
# refused by the caller) rather than guessed at.
parse_sources() {
  awk -v wanted="${packages[*]}" '
    BEGIN { RS = ""; FS = "\n"; n = split(wanted, w, " "); for (i = 1; i <= n; i++) want[w[i]] = 1 }
    {
      pkg = ver = dir = ""; extra = 0; in256 = 0; nfile = 0
      for (i = 1; i <= NF; i++) {
        line = $i
        if (line ~ /^[^ ]/) in256 = (line == "Checksums-Sha256:")
        if (line ~ /^Package: /) pkg = substr(line, 10)
        else if (line ~ /^Version: /) ver = substr(line, 10)
        else if (line ~ /^Directory: /) dir = substr(line, 12)
        else if (line ~ /^Extra-Source-Only: yes/) extra = 1
        else if (in256 && line ~ /^ /) { split(line, f, " "); sha[++nfile] = f[1]; size[nfile] = f[2]; file[nfile] = f[3] }
      }
      if (!(pkg in want) || extra) next
      upstream = ver; sub(/^[0-9]+:/, "", upstream); sub(/-[^-]*$/, "", upstream)
      for (j = 1; j <= nfile; j++) {
        if (index(file[j], pkg "_" upstream ".orig.tar.") == 1 && file[j] !~ /\.asc$/) {
          count[pkg]++; out[pkg] = pkg " " ver " " file[j] " " size[j] " " sha[j] " " dir
        }
      }
    }
    END { for (p in out) if (count[p] == 1) print out[p] }'
}

# check_file FILE SHA256 SIZE LABEL SOURCE: refuses anything that is not
# exactly what the signed SOURCE lists.
check_file() {
  local actual
  [[ $(stat -c %s "$1") == "$3" ]] || die "$4: size does not match the signed $5"
  actual=$(sha256sum "$1" | cut -d' ' -f1)
  [[ "$actual" == "$2" ]] || die "$4: SHA-256 does not match the signed $5"
}

# --- tarballs ---------------------------------------------------------------

lock_field() { lock_entries | awk -v p="$1" -v f="$2" '$1 == p { print $f }'; }

# Prints the path of a package's verified tarball: a private copy in the work
# folder, checked against the lock after it was copied, so that the file
# unpacked is the very one whose hash was checked. The shared cache is only a
# convenience, never a source of trust.
tarball() {
  local pkg=$1 file sha size dir cached
  file=$(lock_field "$pkg" 3) size=$(lock_field "$pkg" 4)
  sha=$(lock_field "$pkg" 5) dir=$(lock_field "$pkg" 6)
  [[ -n "$file" && -n "$sha" && -n "$size" && -n "$dir" ]] || die "${lock##*/}: no complete entry for $pkg"
  cached=$cache_root/tarballs/$sha/$file
  if [[ ! -f "$cached" ]]; then
    say "downloading $file"
    local mirror
    mirror=$(require_mirror)
    fetch "$mirror/$dir/$file" "$work/$file" "$file"
    check_file "$work/$file" "$sha" "$size" "$file" "lock"
    mkdir -p "${cached%/*}"
    cp -f "$work/$file" "$cached"
  else
    cp -f "$cached" "$work/$file"
    check_file "$work/$file" "$sha" "$size" "cached $file" "lock (remove $cached to fetch it again)"
  fi
  echo "$work/$file"
}

require_mirror() {
  local mirror
  mirror=$(apt_mirror)
  [[ -n "$mirror" ]] || die "no http(s) Debian archive found in apt's sources"
  echo "$mirror"
}

# --- unpacking -------------------------------------------------------------

unpack() {
  local dest=$work/src-$1
  mkdir -p "$dest"
  tar -xf "$2" -C "$dest" --strip-components=1 --no-same-owner 2>/dev/null ||
    die "${2##*/}: cannot be unpacked"
  echo "$dest"
}

# The licence each library's source carries, for the downloads that ship it.
install_licence() {
  local name=$1 src=$2 file
  for file in COPYING LICENSE LICENSE.txt; do
    if [[ -f "$src/$file" ]]; then
      install -D -m 644 "$src/$file" "$stage_prefix/share/licenses/$name/$file"
      return 0
    fi
  done
  die "$name: its source has no licence file"
}
# --- publishing -------------------------------------------------------------

# publish DIR KEY: swaps DIR/current in one rename, so readers see the old
# prefix or the new one.
publish() {
  local dir=$1 key=$2
  ln -sfn "$key" "$dir/.current.$$"
  mv -fT "$dir/.current.$$" "$dir/current"
}

# prune_old_prefixes DIR KEY: earlier prefixes are unreachable once the link
# moves; they only cost disk.
prune_old_prefixes() {
  local dir=$1 key=$2 d
  for d in "$dir"/*/; do
    d=${d%/}
    [[ "${d##*/}" =~ ^[0-9a-f]{16}$ && "${d##*/}" != "$key" ]] && rm -rf "$d"
  done
  return 0
}
# deps_main [--refresh]: builds the prefix unless the cache has it, and prints its path last.
deps_main() {
  local refresh=0
  case "${1:-}" in
    "") ;;
    --refresh) refresh=1 ;;
    *) die "usage: scripts/$deps_name.sh [--refresh]" ;;
  esac
  install_packages
  mkdir -p "$cache_root" "$logs"
  # One run at a time: a second caller waits, then finds the prefix ready.
  exec 9>"$cache_root/.lock"
  flock 9
  # Left over only by a run that was killed; nothing else runs under the lock.
  rm -rf "$cache_root"/.work* "$cache_root"/.stage.* "$cache_root"/.current.*
  work=$(mktemp -d "$cache_root/.work.XXXXXX")
  trap 'rm -rf "$work" "$stage"' EXIT

  use_apt_proxy
  if [[ $refresh -eq 1 ]]; then
    local mirror
    mirror=$(require_mirror)
    refresh_lock "$mirror"
  fi
  [[ -f "$lock" ]] || die "${lock#"$root_dir"/} is missing: scripts/$deps_name.sh --refresh writes it"

  local key
  key=$(build_key)
  prefix=$cache_root/$key
  if [[ ! -d "$prefix" ]]; then
    stage=$cache_root/.stage.$$
    stage_prefix=$stage$prefix
    say "building prefix $key ($(lock_entries | awk '{ printf "%s%s %s", sep, $1, $2; sep = ", " }'))"
    build_all
    mv -T "$stage_prefix" "$prefix"
  fi
  publish "$cache_root" "$key"
  prune_old_prefixes "$cache_root" "$key"
  echo "$prefix"
}
