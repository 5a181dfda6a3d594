#!/usr/bin/env bash
# Runs a command where 32-bit x86 code runs if this machine can be made to run
# it, and tells the command how through ORIEL_RUN32 (scripts/wine_env.sh):
#   native    the kernel runs it: the command runs as it is, or, where 32-bit
#             Wine is the i386 root (below), in a mount namespace of its own
#   emulated  the kernel refuses it: the command runs in a new user and mount
#             namespace whose own binfmt_misc sends every i386 ELF file to
#             qemu-i386 (Linux 6.7 and later). The registration lives and dies
#             with the namespace; nothing changes machine-wide.
#   no        neither; ORIEL_RUN32_WHY says why
# Either way the 32-bit prefix is made and a real 32-bit program must show a
# dialog in it first (oriel_probe_32bit).
#   scripts/with_32bit.sh COMMAND [ARGS...]
# ORIEL_NO_32BIT=1 answers no; ORIEL_EMULATE_32BIT=1 takes the emulator even
# where the kernel runs 32-bit code, to try that path anywhere.
#
# Where wine32:i386 could not be installed (make deps), 32-bit Wine comes from
# the i386 root make deps unpacked (ORIEL_I386_ROOT), laid over /usr/lib in a
# mount namespace of the command's own: natively where the kernel runs 32-bit
# code, else under the emulator as above. Why the root's own loader and
# libraries are the ones that run, whatever the machine brings:
#   - Wine's 32-bit programs name /lib/ld-linux.so.2 as their loader, which on
#     a merged-/usr system is /usr/lib/ld-linux.so.2. The root's /usr/lib lies
#     first, so that name is the root's loader, even where libc6-i386 put a
#     link to its biarch loader (lib32) there.
#   - That loader reads the machine's /etc/ld.so.cache before its own folders,
#     and the cache may list libc6-i386's /lib32 or another libc6:i386.
#     LD_LIBRARY_PATH is searched before the cache and names the root's
#     library folder (the merged /usr/lib/i386-linux-gnu, the root's files
#     first), so its own libc, FreeType and the rest win. 64-bit programs skip
#     the folder's 32-bit files.
#   - The trap-number wrapper is named through $LIB, which the root's loader
#     expands to lib/i386-linux-gnu and a biarch one to lib32: it is in both.
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
. "$root/scripts/wine_env.sh"
[ $# -gt 0 ] || { echo "usage: with_32bit.sh COMMAND [ARGS...]" >&2; exit 2; }

# i386 ELF executables and shared objects, as qemu's own binfmt list has them.
magic='\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00'
mask='\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff'
i386_root=${ORIEL_I386_ROOT:-/var/cache/oriel/i386-root}

run() {
  export ORIEL_RUN32 ORIEL_RUN32_WHY
  exec "$@"
}

# qemu-user before 10 cannot carry Wine (it takes MAP_FIXED_NOREPLACE as a hint).
qemu_ok() {
  local version
  version=$(qemu-i386 --version 2>/dev/null | sed -n 's/^qemu-i386 version \([0-9]*\)\..*/\1/p')
  [ -n "$version" ] && [ "$version" -ge 10 ]
}

if [ "${1:-}" = --inside ]; then
  shift
  native_why=${ORIEL_NATIVE_WHY:-}
  unset ORIEL_NATIVE_WHY
  how=
  if [ ! -e /usr/lib/wine/wine ] && [ -e "$i386_root/usr/lib/wine/wine" ]; then
    if ! error=$(mount -t overlay overlay -o "lowerdir=$i386_root/usr/lib:/usr/lib" /usr/lib 2>&1); then
      ORIEL_RUN32=no ORIEL_RUN32_WHY="${native_why:+$native_why; and }the i386 root could not be laid over /usr/lib ($error)"
      run "$@"
    fi
    export LD_LIBRARY_PATH="/usr/lib/i386-linux-gnu${LD_LIBRARY_PATH:+:$LD_LIBRARY_PATH}"
    export ORIEL_I386_ROOT_LAID=$i386_root
    how=", 32-bit Wine from $i386_root"
    # The kernel decides: no emulator is registered yet in this namespace.
    if [ -z "$native_why" ]; then
      if ! error=$(/usr/lib/wine/wine --version 2>&1); then
        native_why="the kernel does not run 32-bit x86 code ($error)"
      elif oriel_probe_32bit; then
        ORIEL_RUN32=native ORIEL_RUN32_WHY="natively$how"
        run "$@"
      else
        native_why=$ORIEL_RUN32_WHY
      fi
    fi
  fi
  if ! qemu_ok; then
    ORIEL_RUN32=no ORIEL_RUN32_WHY="$native_why; and no qemu-i386 of version 10 or later to emulate it (make deps installs qemu-user from bookworm-backports)"
    run "$@"
  fi
  if ! error=$(mount -t binfmt_misc binfmt_misc /proc/sys/fs/binfmt_misc 2>&1); then
    ORIEL_RUN32=no ORIEL_RUN32_WHY="$native_why; and binfmt_misc does not mount in a user namespace here (Linux 6.7 or later needed: $error)"
    run "$@"
  fi
  if ! printf '%s' ":oriel-i386:M::$magic:$mask:$(command -v qemu-i386):FP" \
       >/proc/sys/fs/binfmt_misc/register 2>/dev/null; then
    ORIEL_RUN32=no ORIEL_RUN32_WHY="$native_why; and qemu-i386 could not be registered with the namespace's binfmt_misc"
    run "$@"
  fi
  trapno=$("$root/scripts/build_32bit_helpers.sh" trapno) || {
    ORIEL_RUN32=no ORIEL_RUN32_WHY="$native_why; and the trap-number wrapper for qemu could not be built (gcc -m32)"
    run "$@"
  }
  export LD_PRELOAD="$trapno/\$LIB/oriel_trapno.so${LD_PRELOAD:+ $LD_PRELOAD}"
  how="qemu-i386 $(qemu-i386 --version | sed -n 's/^qemu-i386 version \([^ ]*\).*/\1/p'), private binfmt_misc$how"
  if oriel_probe_32bit; then
    ORIEL_RUN32=emulated ORIEL_RUN32_WHY=$how
  else
    ORIEL_RUN32=no ORIEL_RUN32_WHY="$native_why; and under $how: $ORIEL_RUN32_WHY"
  fi
  run "$@"
fi

# Decided further up (a make target inside another): nothing more to do.
[ -n "${ORIEL_RUN32:-}" ] && run "$@"
if [ "${ORIEL_NO_32BIT:-}" = 1 ]; then
  oriel_can_run_32bit
  run "$@"
fi

# wine32:i386 installed: natively, as the machine has it. The root, where
# there is only that, is tried natively inside the namespace.
native_why=
if [ "${ORIEL_EMULATE_32BIT:-}" = 1 ]; then
  native_why="ORIEL_EMULATE_32BIT=1"
elif [ -e /usr/lib/wine/wine ]; then
  if oriel_probe_32bit; then
    ORIEL_RUN32=native ORIEL_RUN32_WHY=
    run "$@"
  fi
  native_why=$ORIEL_RUN32_WHY
fi

if [ ! -e /usr/lib/wine/wine ] && [ ! -e "$i386_root/usr/lib/wine/wine" ]; then
  ORIEL_RUN32=no ORIEL_RUN32_WHY="no 32-bit Wine: neither wine32:i386 nor the i386 root $i386_root (make deps installs one of them)"
  run "$@"
fi
if ! error=$(unshare --user --map-root-user --mount true 2>&1); then
  ORIEL_RUN32=no ORIEL_RUN32_WHY="${native_why:+$native_why; and }no user namespace for the i386 root or qemu-i386's registration ($error)"
  run "$@"
fi
ORIEL_NATIVE_WHY=$native_why exec unshare --user --map-root-user --mount "$0" --inside "$@"
