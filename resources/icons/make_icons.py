#!/usr/bin/env python3
"""Draws Tessora's icons: a controller chip with pins and a green "written" mark.

Writes tessora.ico (32 x 32 and 16 x 16) and small.ico (16 x 16) next to this file.
Run it again after changing the drawing; the .ico files are kept in the repository so
that a build needs no Python.
"""
import os
import struct

BODY = (0x30, 0x36, 0x3C, 0xFF)     # chip body, dark slate (BGRA)
PIN = (0xB0, 0xB8, 0xC0, 0xFF)      # pins, light grey
MARK = (0x40, 0xC0, 0x40, 0xFF)     # the verified page, green
DOT = (0xE0, 0xE0, 0xE0, 0xFF)      # pin-1 dot
CLEAR = (0, 0, 0, 0)


def draw(size):
    s = size / 32.0
    pixels = [[CLEAR] * size for _ in range(size)]

    def box(x0, y0, x1, y1, colour):
        for y in range(int(y0 * s), max(int(y0 * s) + 1, int(y1 * s))):
            for x in range(int(x0 * s), max(int(x0 * s) + 1, int(x1 * s))):
                if 0 <= x < size and 0 <= y < size:
                    pixels[y][x] = colour

    for i in range(4):
        offset = 8 + i * 5
        box(offset, 2, offset + 2, 7, PIN)     # top pins
        box(offset, 25, offset + 2, 30, PIN)   # bottom pins
        box(2, offset, 7, offset + 2, PIN)     # left pins
        box(25, offset, 30, offset + 2, PIN)   # right pins
    box(6, 6, 26, 26, BODY)
    box(8, 8, 11, 11, DOT)
    box(12, 15, 15, 18, MARK)                  # a tick: short stroke ...
    box(15, 17, 18, 20, MARK)
    box(18, 14, 21, 17, MARK)                  # ... and the long one
    box(21, 11, 24, 14, MARK)
    return pixels


def icon_image(size):
    pixels = draw(size)
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, 0, 0, 0, 0, 0)
    colour = b"".join(bytes(pixels[y][x]) for y in reversed(range(size)) for x in range(size))
    row_bytes = ((size + 31) // 32) * 4
    mask = b""
    for y in reversed(range(size)):
        row = bytearray(row_bytes)
        for x in range(size):
            if pixels[y][x][3] == 0:
                row[x // 8] |= 0x80 >> (x % 8)
        mask += bytes(row)
    return header + colour + mask


def write_icon(path, sizes):
    images = [icon_image(size) for size in sizes]
    out = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for size, image in zip(sizes, images):
        out += struct.pack("<BBBBHHII", size, size, 0, 0, 1, 32, len(image), offset)
        offset += len(image)
    with open(path, "wb") as f:
        f.write(out + b"".join(images))


here = os.path.dirname(os.path.abspath(__file__))
write_icon(os.path.join(here, "tessora.ico"), [32, 16])
write_icon(os.path.join(here, "small.ico"), [16])
