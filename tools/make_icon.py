#!/usr/bin/env python3
"""Writes resources/oriel.ico: a receipt printer with a slip of paper coming out.

Images of 16, 20, 24, 32, 40, 48, 64 and 256 pixels, 16 colours each, so that
Windows picks one of the size it needs at any scale instead of blowing up a
small one. 16 and 32 are drawn by hand; the others are drawn from the same
shapes at their own size, with lines as thick as the scale. Up to 40 they are
stored the classic way (a BITMAPINFOHEADER, palette, 4-bit colour rows and a
1-bit AND mask), which every Windows version and the icon static control can
draw; 48, 64 and 256 are PNG, which Windows Vista and later read from an icon,
because the exe must stay within its size limit. Windows XP's window icons
stop at 40 pixels (120 DPI), so it never needs the PNG images; only its
Explorer tile view would ask for 48.

Usage: make_icon.py [output path]   (default: resources/oriel.ico beside tools/)
"""

import os
import struct
import sys
import zlib

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


# The shapes of ART_32, in its 32-pixel grid: (x0, y0, x1, y1) inclusive, the
# fill letter, and whether the shape has a black outline. Later shapes are
# drawn over earlier ones.
SHAPES = [
    ((9, 3, 22, 12), 'W', True),                  # the slip
    ((11, 5, 19, 5), 'G', False),                 # its printed lines
    ((11, 7, 16, 7), 'G', False),
    ((11, 9, 18, 9), 'G', False),
    ((11, 11, 15, 11), 'G', False),
    ((2, 11, 29, 16), 'S', True),                 # the top of the printer
    ((6, 14, 25, 14), 'K', False),                # the paper slot
    ((9, 11, 22, 13), 'W', True),                 # the slip coming out of it
    ((2, 16, 29, 27), 'G', True),                 # the body
    ((4, 18, 17, 21), 'S', False),                # the panel and its display
    ((5, 19, 16, 20), 'B', False),
    ((24, 19, 25, 20), 'L', False),               # the lamp
    ((22, 23, 25, 25), 'S', True),                # the feed button
    ((4, 28, 6, 28), 'K', False),                 # the feet
    ((26, 28, 28, 28), 'K', False),
]


def drawn_art(size):
    """SHAPES rasterised at size x size, as rows of letters like ART_32."""
    scale = size / 32.0
    line = max(1, round(scale))
    grid = [['.'] * size for _ in range(size)]

    def fill(x0, y0, x1, y1, letter):
        for y in range(max(0, y0), min(size, y1 + 1)):
            for x in range(max(0, x0), min(size, x1 + 1)):
                grid[y][x] = letter

    for (x0, y0, x1, y1), letter, outlined in SHAPES:
        left, top = round(x0 * scale), round(y0 * scale)
        right, bottom = round((x1 + 1) * scale) - 1, round((y1 + 1) * scale) - 1
        right, bottom = max(right, left), max(bottom, top)
        if outlined:
            fill(left, top, right, bottom, 'K')
            fill(left + line, top + line, right - line, bottom - line, letter)
        else:
            fill(left, top, right, bottom, letter)
    # The slip's torn top edge: notches along it, as in the hand-drawn art.
    left, top, right = round(9 * scale), round(3 * scale), round(23 * scale) - 1
    step = max(2, round(2 * scale))
    for x in range(left + line, right - line + 1, step):
        fill(x, top - line, min(x + max(1, step // 2) - 1, right), top - 1, 'K')
    return [''.join(row) for row in grid]


def png_bytes(art):
    """One icon image as a 4-bit palette PNG with a transparent entry."""
    size = len(art)
    # Palette index 16 would not fit 4 bits: '.' takes the slot of an unused
    # colour (dark magenta, 5) and is made transparent.
    transparent = 5
    rows = bytearray()
    for row in art:
        rows.append(0)  # no filter
        line = bytearray((size + 1) // 2)
        for x, letter in enumerate(row):
            index = transparent if letter == '.' else INK[letter]
            line[x // 2] |= index << 4 if x % 2 == 0 else index
        rows += line

    def chunk(kind, data):
        body = kind + data
        return struct.pack('>I', len(data)) + body + struct.pack('>I', zlib.crc32(body) & 0xFFFFFFFF)

    palette = b''.join(struct.pack('BBB', *rgb) for rgb in PALETTE)
    alpha = bytes(0 if i == transparent else 255 for i in range(16))
    return (b'\x89PNG\r\n\x1a\n' + chunk(b'IHDR', struct.pack('>IIBBBBB', size, size, 4, 3, 0, 0, 0)) +
            chunk(b'PLTE', palette) + chunk(b'tRNS', alpha) + chunk(b'IDAT', zlib.compress(bytes(rows), 9)) +
            chunk(b'IEND', b''))


# The images in the file, largest first; PNG from this size on.
SIZES = [256, 64, 48, 40, 32, 24, 20, 16]
PNG_FROM = 48


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


def art_of_size(size):
    if size == 32:
        return ART_32
    if size == 16:
        return ART_16
    return drawn_art(size)


def icon_file(arts):
    images = [png_bytes(art) if len(art) >= PNG_FROM else image_bytes(art) for art in arts]
    out = bytearray(struct.pack('<HHH', 0, 1, len(images)))
    offset = 6 + 16 * len(images)
    for art, image in zip(arts, images):
        size = len(art)
        # A width or height of 256 is written as 0.
        out += struct.pack('<BBBBHHII', size % 256, size % 256, 16, 0, 1, 4, len(image), offset)
        offset += len(image)
    for image in images:
        out += image
    return bytes(out)


def main(argv):
    here = os.path.dirname(os.path.abspath(__file__))
    target = argv[1] if len(argv) > 1 else os.path.join(here, '..', 'resources', 'oriel.ico')
    with open(target, 'wb') as f:
        f.write(icon_file([art_of_size(size) for size in SIZES]))
    return 0


if __name__ == '__main__':
    sys.exit(main(sys.argv))
