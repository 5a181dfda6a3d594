#!/usr/bin/env bash
# Runs a command where 32-bit x86 code runs if this machine can be made to run
# it, and tells the command how through ORIEL_RUN32 (scripts/wine_env.sh):
#   native    the kernel runs it: the command runs as it is
#   emulated  the kernel refuses it: the command runs in a new user and mount
#             namespace whose own binfmt_misc sends every i386 ELF file to
#             qemu-i386 (Linux 6.7 and later). The registration lives and dies
#             with the namespace; nothing changes machine-wide.
#   no        neither; ORIEL_RUN32_WHY says why
# Either way the 32-bit prefix is made and a real 32-bit program must run in
# it first (oriel_probe_32bit).
#   scripts/with_32bit.sh COMMAND [ARGS...]
# ORIEL_NO_32BIT=1 answers no; ORIEL_EMULATE_32BIT=1 takes the emulator even
# where the kernel runs 32-bit code, to try that path anywhere.
#
# Where wine32:i386 could not be installed (make deps), 32-bit Wine comes from
# the i386 root make deps unpacked (ORIEL_I386_ROOT): inside the namespace its
# /usr/lib lies under the machine's, so Wine's 32-bit loader, its libraries and
# DLLs are where Wine looks for them.
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
  if ! error=$(mount -t binfmt_misc binfmt_misc /proc/sys/fs/binfmt_misc 2>&1); then
    ORIEL_RUN32=no ORIEL_RUN32_WHY="binfmt_misc does not mount in a user namespace here (Linux 6.7 or later needed: $error)"
    run "$@"
  fi
  if ! printf '%s' ":oriel-i386:M::$magic:$mask:$(command -v qemu-i386):FP" \
       >/proc/sys/fs/binfmt_misc/register 2>/dev/null; then
    ORIEL_RUN32=no ORIEL_RUN32_WHY="qemu-i386 could not be registered with the namespace's binfmt_misc"
    run "$@"
  fi
  trapno=$("$root/scripts/build_32bit_helpers.sh" trapno) || {
    ORIEL_RUN32=no ORIEL_RUN32_WHY="the trap-number wrapper for qemu could not be built (gcc -m32)"
    run "$@"
  }
  export LD_PRELOAD="$trapno/\$LIB/oriel_trapno.so${LD_PRELOAD:+ $LD_PRELOAD}"
  how="qemu-i386 $(qemu-i386 --version | sed -n 's/^qemu-i386 version \([^ ]*\).*/\1/p'), private binfmt_misc"
  if [ ! -e /usr/lib/wine/wine ] && [ -e "$i386_root/usr/lib/wine/wine" ]; then
    # Wine finds its files by path, through the wineserver too, so the root's
    # /usr/lib is laid under the machine's, whose own files win.
    if ! error=$(mount -t overlay overlay -o "lowerdir=/usr/lib:$i386_root/usr/lib" /usr/lib 2>&1); then
      ORIEL_RUN32=no ORIEL_RUN32_WHY="the i386 root could not be laid under /usr/lib ($error)"
      run "$@"
    fi
    how="$how, 32-bit Wine from $i386_root"
  fi
  if oriel_probe_32bit; then
    ORIEL_RUN32=emulated ORIEL_RUN32_WHY=$how
  else
    ORIEL_RUN32=no ORIEL_RUN32_WHY="under $how: $ORIEL_RUN32_WHY"
  fi
  run "$@"
fi

# Decided further up (a make target inside another): nothing more to do.
[ -n "${ORIEL_RUN32:-}" ] && run "$@"
if [ "${ORIEL_NO_32BIT:-}" = 1 ]; then
  oriel_can_run_32bit
  run "$@"
fi

native_why=
if [ "${ORIEL_EMULATE_32BIT:-}" = 1 ]; then
  native_why="ORIEL_EMULATE_32BIT=1"
elif oriel_probe_32bit; then
  ORIEL_RUN32=native ORIEL_RUN32_WHY=
  run "$@"
else
  native_why=$ORIEL_RUN32_WHY
fi

if ! qemu_ok; then
  ORIEL_RUN32=no ORIEL_RUN32_WHY="$native_why; and no qemu-i386 of version 10 or later to emulate it (make deps installs qemu-user from bookworm-backports)"
  run "$@"
fi
if [ ! -e /usr/lib/wine/wine ] && [ ! -e "$i386_root/usr/lib/wine/wine" ]; then
  ORIEL_RUN32=no ORIEL_RUN32_WHY="$native_why; and no 32-bit Wine for qemu-i386 to run (neither wine32:i386 nor $i386_root)"
  run "$@"
fi
if ! error=$(unshare --user --map-root-user --mount true 2>&1); then
  ORIEL_RUN32=no ORIEL_RUN32_WHY="$native_why; and no user namespace for qemu-i386's registration ($error)"
  run "$@"
fi
exec unshare --user --map-root-user --mount "$0" --inside "$@"
