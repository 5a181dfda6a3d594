#!/usr/bin/env python3
"""Writes resources/oriel.ico: a receipt printer with a slip of paper coming out.

Two images, 32x32 and 16x16, 16 colours each, stored the classic way (a
BITMAPINFOHEADER, palette, 4-bit colour rows and a 1-bit AND mask) so that
every Windows version and the icon static control can draw them.

Usage: make_icon.py [output path]   (default: resources/oriel.ico beside tools/)
"""

import os
import struct
import sys

# The standard 16-colour palette, as (red, green, blue).
PALETTE = [
    (0x00, 0x00, 0x00), (0x80, 0x00, 0x00), (0x00, 0x80, 0x00), (0x80, 0x80, 0x00),
    (0x00, 0x00, 0x80), (0x80, 0x00, 0x80), (0x00, 0x80, 0x80), (0xC0, 0xC0, 0xC0),
    (0x80, 0x80, 0x80), (0xFF, 0x00, 0x00), (0x00, 0xFF, 0x00), (0xFF, 0xFF, 0x00),
    (0x00, 0x00, 0xFF), (0xFF, 0x00, 0xFF), (0x00, 0xFF, 0xFF), (0xFF, 0xFF, 0xFF),
]

# Pixel letters to palette indices; '.' is transparent.
INK = {'K': 0, 'B': 4, 'S': 7, 'G': 8, 'L': 10, 'W': 15}

ART_32 = [
    "................................",
    "................................",
    ".........K.K.K.K.K.K.K..........",
    ".........KKWKWKWKWKWKWK.........",
    ".........KWWWWWWWWWWWWK.........",
    ".........KWGGGGGGGGGWWK.........",
    ".........KWWWWWWWWWWWWK.........",
    ".........KWGGGGGGWWWWWK.........",
    ".........KWWWWWWWWWWWWK.........",
    ".........KWGGGGGGGGWWWK.........",
    ".........KWWWWWWWWWWWWK.........",
    "....KKKKKKWGGGGGWWWWWWKKKKKK....",
    "...KSSSSSKWWWWWWWWWWWWKSSSSSK...",
    "..KSSSSSSKWWWWWWWWWWWWKSSSSSSK..",
    "..KSSSKKKKKKKKKKKKKKKKKKKKSSSK..",
    "..KSSSSSSSSSSSSSSSSSSSSSSSSSSK..",
    "..KKKKKKKKKKKKKKKKKKKKKKKKKKKK..",
    "..KGGGGGGGGGGGGGGGGGGGGGGGGGGK..",
    "..KGSSSSSSSSSSSSSSGGGGGGGGGGGK..",
    "..KGSBBBBBBBBBBBBSGGGGGGLLGGGK..",
    "..KGSBBBBBBBBBBBBSGGGGGGLLGGGK..",
    "..KGSSSSSSSSSSSSSSGGGGGGGGGGGK..",
    "..KGGGGGGGGGGGGGGGGGGGGGGGGGGK..",
    "..KGGGGGGGGGGGGGGGGGGGKKKKGGGK..",
    "..KGGGGGGGGGGGGGGGGGGGKSSKGGGK..",
    "..KGGGGGGGGGGGGGGGGGGGKKKKGGGK..",
    "..KGGGGGGGGGGGGGGGGGGGGGGGGGGK..",
    "..KKKKKKKKKKKKKKKKKKKKKKKKKKKK..",
    "....KKK..................KKK....",
    "................................",
    "................................",
    "................................",
]

ART_16 = [
    "................",
    "....K.K.K.K.....",
    "....KKWKWKWK....",
    "....KWGGGGWK....",
    "....KWWWWWWK....",
    "..KKKWGGGWWKKK..",
    ".KSSKWWWWWWKSSK.",
    ".KSKKKKKKKKKKSK.",
    ".KKKKKKKKKKKKKK.",
    ".KGGGGGGGGGGGGK.",
    ".KGSSSSSSGGLLGK.",
    ".KGSBBBBSGGGGGK.",
    ".KGSSSSSSGGGGGK.",
    ".KGGGGGGGGGGGGK.",
    ".KKKKKKKKKKKKKK.",
    "..KK........KK..",
]


def row_stride(width, bits):
    return ((width * bits + 31) // 32) * 4


def image_bytes(art):
    """One icon image: BITMAPINFOHEADER, palette, colour rows, AND-mask rows."""
    size = len(art)
    if any(len(row) != size for row in art):
        raise ValueError("icon art must be square")
    colour_stride = row_stride(size, 4)
    mask_stride = row_stride(size, 1)

    colour = bytearray()
    mask = bytearray()
    for row in reversed(art):  # bitmaps are stored bottom-up
        line = bytearray(colour_stride)
        bits = bytearray(mask_stride)
        for x, letter in enumerate(row):
            if letter == '.':
                bits[x // 8] |= 0x80 >> (x % 8)
                continue
            index = INK[letter]
            line[x // 2] |= index << 4 if x % 2 == 0 else index
        colour += line
        mask += bits

    header = struct.pack('<IiiHHIIiiII', 40, size, size * 2, 1, 4, 0,
                         len(colour) + len(mask), 0, 0, 16, 0)
    palette = b''.join(struct.pack('<BBBB', b, g, r, 0) for r, g, b in PALETTE)
    return header + palette + bytes(colour) + bytes(mask)


def icon_file(arts):
    images = [image_bytes(art) for art in arts]
    out = bytearray(struct.pack('<HHH', 0, 1, len(images)))
    offset = 6 + 16 * len(images)
    for art, image in zip(arts, images):
        size = len(art)
        out += struct.pack('<BBBBHHII', size, size, 16, 0, 1, 4, len(image), offset)
        offset += len(image)
    for image in images:
        out += image
    return bytes(out)


def main(argv):
    here = os.path.dirname(os.path.abspath(__file__))
    target = argv[1] if len(argv) > 1 else os.path.join(here, '..', 'resources', 'oriel.ico')
    with open(target, 'wb') as f:
        f.write(icon_file([ART_32, ART_16]))
    return 0


if __name__ == '__main__':
    sys.exit(main(sys.argv))
