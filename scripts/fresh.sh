#!/usr/bin/env bash
# make fresh: rehearses a machine that has never seen the project. A clean
# Debian root of this machine's release is made from the machine's own apt
# sources (mmdebstrap, the "important" variant plus make), a clean clone of
# the committed HEAD is put in it, and the README's two commands, `make run`
# then `make test`, run there as root on this kernel, each timed. Nothing of
# this machine's packages, i386 root, Wine prefixes or build folders is seen.
#   scripts/fresh.sh [DIR]     (default build/fresh; the root is DIR/root)
# FRESH_TARGETS names the make targets to run in turn (default "run test";
# "run test bench screenshots" tries the other two as well).
# Runs as root. The root is made anew each time; its logs and the pictures of
# `make run` stay in DIR after it.
#
# The commands run in a mount and PID namespace whose root is the new root
# (pivot_root, not chroot): a chrooted process may not make user namespaces,
# and the shipped exe's runs need them for the i386 root or qemu-i386.
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
dir=$(realpath -m "${1:-$root/build/fresh}")
target="$dir/root"
[ "$(id -u)" = 0 ] || { echo "fresh: runs as root (it makes a Debian root and mounts into it)" >&2; exit 2; }
command -v mmdebstrap >/dev/null || { echo "fresh: mmdebstrap is missing (make fresh installs it)" >&2; exit 2; }
. /etc/os-release
codename=${VERSION_CODENAME:?fresh: no VERSION_CODENAME in /etc/os-release}

if mountpoint -q "$target" 2>/dev/null || grep -qs " $target/" /proc/mounts; then
  echo "fresh: $target still has mounts; is another rehearsal running?" >&2
  exit 1
fi
rm -rf "$dir"
mkdir -p "$dir"
log="$dir/fresh.log"

# The machine's own sources, as they are (one-line and deb822 files alike).
sources=()
for file in /etc/apt/sources.list /etc/apt/sources.list.d/*.list /etc/apt/sources.list.d/*.sources; do
  [ -f "$file" ] && sources+=("$file")
done
[ ${#sources[@]} -gt 0 ] || { echo "fresh: no apt sources on this machine" >&2; exit 1; }

seconds() { date +%s; }
t0=$(seconds)
echo "fresh: making a clean $codename root in $target from ${sources[*]}"
if ! mmdebstrap --variant=important --include=make --quiet "$codename" "$target" "${sources[@]}" >"$log" 2>&1; then
  tail -n 20 "$log"
  echo "fresh: mmdebstrap failed"
  exit 1
fi
t1=$(seconds)
echo "fresh: root made in $((t1 - t0)) s"
git clone -q --no-hardlinks "$root" "$target/work/oriel" || exit 1
echo "fresh: clean clone of $(git -C "$root" rev-parse --short HEAD) in /work/oriel"
cp -L /etc/resolv.conf "$target/etc/resolv.conf"
# The machine's trust for node as a new machine of this kind has it: npm's
# registry may be reached through a CA that only NODE_EXTRA_CA_CERTS names.
node_ca=
if [ -n "${NODE_EXTRA_CA_CERTS:-}" ] && [ -f "$NODE_EXTRA_CA_CERTS" ]; then
  mkdir -p "$target/etc/oriel-fresh" && cp -L "$NODE_EXTRA_CA_CERTS" "$target/etc/oriel-fresh/node-ca.crt" &&
    node_ca=NODE_EXTRA_CA_CERTS=/etc/oriel-fresh/node-ca.crt
fi

# The steps inside: the README's commands as a new user types them, timed.
cat >"$target/work/rehearse.sh" <<EOF
#!/bin/bash
cd /work/oriel || exit 1
export DEBIAN_FRONTEND=noninteractive
for command in ${FRESH_TARGETS:-run test}; do
EOF
cat >>"$target/work/rehearse.sh" <<'EOF'
  start=$(date +%s)
  make $command >"/work/make-$command.log" 2>&1
  echo "make $command: status $? in $(( $(date +%s) - start )) s" >>/work/results
done
EOF
chmod +x "$target/work/rehearse.sh"

unshare --mount --pid --fork --propagation private bash -c '
  set -e
  target=$1
  mount --bind "$target" "$target"
  mount --rbind /dev "$target/dev"
  mount -t proc proc "$target/proc"
  mount -t sysfs sysfs "$target/sys"
  mount -t tmpfs tmpfs "$target/tmp"
  mkdir -p "$target/.old-root"
  cd "$target"
  pivot_root . .old-root
  umount -l /.old-root
  rmdir /.old-root
  exec env -i HOME=/root TERM=dumb PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin $0 /work/rehearse.sh
' "$node_ca" "$target"
t2=$(seconds)

cp "$target"/work/make-*.log "$dir/" 2>/dev/null
cp -r "$target/work/oriel/build/screenshots/run" "$dir/screenshots" 2>/dev/null
# What a reader wants of the two logs: how 32-bit code ran, the cases per
# build, the pictures, the times.
echo "fresh: results (logs in $dir)"
sed 's/^/  /' "$target/work/results" 2>/dev/null || echo "  no results: the rehearsal did not run"
grep -h -m1 -E '^(run|e2e): ' "$dir/make-run.log" "$dir/make-test.log" 2>/dev/null | sed 's/^/  /'
awk '/^Test project / { project = $3 } /^[0-9]+% tests passed/ { print "  " project ": " $0 }
     /^The following tests FAILED/ { failed = 1; next } failed && /^\t/ { print "    failed: " $0; next } { failed = 0 }' \
  "$dir/make-test.log" 2>/dev/null
for build in mingw mingw64; do
  file="$target/work/oriel/build/$build/e2e.log"
  [ -f "$file" ] || continue
  for run in win32 wow64 win64; do
    passed=$(grep -cE "Test +#[0-9]+: +e2e\.$run\.[^ ]+ .*Passed" "$file")
    failed=$(grep -cE "Test +#[0-9]+: +e2e\.$run\.[^ ]+ .*(Failed|Timeout|Exception)" "$file")
    skipped=$(grep -cE "Test +#[0-9]+: +e2e\.$run\.[^ ]+ .*Skipped" "$file")
    [ $((passed + failed + skipped)) -gt 0 ] && echo "  e2e $run: $passed passed, $failed failed, $skipped skipped"
  done
done
echo "  pictures of make run: $(ls "$dir/screenshots" 2>/dev/null | wc -l)"
echo "fresh: $((t2 - t0)) s in all"
grep -q 'status [1-9]' "$target/work/results" 2>/dev/null && exit 1
[ -f "$target/work/results" ]
