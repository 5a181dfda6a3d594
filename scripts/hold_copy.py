#!/usr/bin/env python3
"""Holds up the copy of one file under Wine, for as long as asked.

  hold_copy.py DEST FOLDER [SECONDS]

DEST becomes a FIFO with a reader that reads nothing: a CopyFile into it
waits once the FIFO's buffer is full (the source must be larger, 64 KiB on
Linux). Wine 8's CopyFile refuses a FIFO as its source at once (error 87: it
asks the source for file information first), so the hold is on the
destination. "copying" is written into FOLDER when the copy has begun. The
release comes when FOLDER/release appears, or SECONDS after the copy began:
FOLDER/content then takes DEST's place (the waiting copy's handle still
names the FIFO) and the FIFO is drained, so the copy ends and DEST holds
those bytes. Gives up after four minutes.
"""
import fcntl
import os
import select
import shutil
import struct
import sys
import termios
import time

LIFETIME = 240


def waiting_bytes(fd):
    return struct.unpack("i", fcntl.ioctl(fd, termios.FIONREAD, b"\0\0\0\0"))[0]


def main():
    dest, folder = sys.argv[1], sys.argv[2]
    seconds = float(sys.argv[3]) if len(sys.argv) > 3 else None
    deadline = time.monotonic() + LIFETIME
    if os.path.lexists(dest):
        os.unlink(dest)
    os.mkfifo(dest)
    # A reader from the start, so that the copy's open for writing succeeds
    # (Wine opens without blocking, and a FIFO with no reader refuses that).
    fd = os.open(dest, os.O_RDONLY | os.O_NONBLOCK)
    while waiting_bytes(fd) == 0:
        if time.monotonic() > deadline:
            return 1
        time.sleep(0.02)
    began = time.monotonic()
    open(os.path.join(folder, "copying"), "w").close()
    print("hold_copy: the copy into %s began" % dest, file=sys.stderr, flush=True)
    release = os.path.join(folder, "release")
    while not os.path.exists(release) and (seconds is None or time.monotonic() - began < seconds):
        if time.monotonic() > deadline:
            break
        time.sleep(0.02)
    content = os.path.join(folder, "content")
    if os.path.exists(content):
        staged = dest + ".held"
        shutil.copyfile(content, staged)
        os.replace(staged, dest)
    print("hold_copy: released after %.1f s" % (time.monotonic() - began), file=sys.stderr, flush=True)
    # To the end of the copy: the last writer's close, or a quiet while
    # should Wine keep a descriptor of it.
    os.set_blocking(fd, True)
    quiet = 0
    while time.monotonic() < deadline and quiet < 50:
        ready, _, _ = select.select([fd], [], [], 0.1)
        if not ready:
            quiet += 1
            continue
        quiet = 0
        if not os.read(fd, 65536):
            break
    os.close(fd)
    open(os.path.join(folder, "released"), "w").close()
    return 0


if __name__ == "__main__":
    sys.exit(main())
