#!/usr/bin/env bash
# Builds what running 32-bit code needs besides Wine, into build/emulation,
# when its source is newer, and prints its path:
#   probe    probe32.exe, the tiny 32-bit Windows program of the probe
#   trapno   the folder to name in LD_PRELOAD as "<folder>/$LIB/oriel_trapno.so":
#            qemu_trapno.c built for i386 and (empty) for x86-64
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
out="$root/build/emulation"
mkdir -p "$out"
stale() { [ ! -f "$1" ] || [ "$2" -nt "$1" ]; }
case ${1:?usage: build_32bit_helpers.sh probe|trapno} in
  probe)
    exe="$out/probe32.exe"
    if stale "$exe" "$root/scripts/probe32.c"; then
      i686-w64-mingw32-gcc -O2 -s -o "$exe.tmp" "$root/scripts/probe32.c" -lgdi32 >&2
      mv "$exe.tmp" "$exe"
    fi
    echo "$exe" ;;
  trapno)
    # $LIB is where each ld.so looks for its own architecture's libraries:
    # lib/<triplet> for Debian's loaders, lib32 for libc6-i386's biarch one.
    for arch in i386 x86_64; do
      lib="$out/lib/$arch-linux-gnu/oriel_trapno.so"
      if stale "$lib" "$root/scripts/qemu_trapno.c"; then
        mkdir -p "$(dirname "$lib")"
        flag=-m64
        [ $arch = i386 ] && flag=-m32
        gcc $flag -O2 -shared -fPIC -Wall -Wextra -o "$lib.tmp" "$root/scripts/qemu_trapno.c" -ldl >&2
        mv "$lib.tmp" "$lib"
      fi
    done
    mkdir -p "$out/lib32"
    ln -sfn ../lib/i386-linux-gnu/oriel_trapno.so "$out/lib32/oriel_trapno.so"
    echo "$out" ;;
  *) echo "build_32bit_helpers.sh: unknown helper '$1'" >&2; exit 1 ;;
esac
