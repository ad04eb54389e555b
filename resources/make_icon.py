#!/usr/bin/env python3
"""Draws the program icon (32 x 32, 16 colours: a portable radio with an
antenna) and writes tolva.png (4-bit palette) and tolva.ico beside this file.
Needs only the standard library; rerun after changing the drawing."""
import os
import struct
import zlib

# The classic 16-colour palette; index 13 (magenta) is the transparent key.
PALETTE = [
    (0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0),
    (0, 0, 128), (128, 0, 128), (0, 128, 128), (192, 192, 192),
    (128, 128, 128), (255, 0, 0), (0, 255, 0), (255, 255, 0),
    (0, 0, 255), (255, 0, 255), (0, 255, 255), (255, 255, 255),
]
BLACK, DKRED, DKGREEN, OLIVE, NAVY, PURPLE, TEAL, SILVER = range(8)
GRAY, RED, GREEN, YELLOW, BLUE, CLEAR, CYAN, WHITE = range(8, 16)
SIZE = 32

img = [[CLEAR] * SIZE for _ in range(SIZE)]


def put(x, y, c):
    if 0 <= x < SIZE and 0 <= y < SIZE:
        img[y][x] = c


def rect(x1, y1, x2, y2, c):
    for y in range(y1, y2 + 1):
        for x in range(x1, x2 + 1):
            put(x, y, c)


def line(x1, y1, x2, y2, c):
    steps = max(abs(x2 - x1), abs(y2 - y1))
    for i in range(steps + 1):
        put(round(x1 + (x2 - x1) * i / steps), round(y1 + (y2 - y1) * i / steps), c)


def disc(cx, cy, r, c):
    for y in range(cy - r, cy + r + 1):
        for x in range(cx - r, cx + r + 1):
            if (x - cx) ** 2 + (y - cy) ** 2 <= r * r + r:
                put(x, y, c)


# Antenna: a telescopic rod leaning left, with a ball on the tip.
line(24, 12, 12, 2, GRAY)
line(25, 12, 13, 2, SILVER)
line(25, 11, 19, 6, WHITE)
disc(12, 2, 1, BLACK)
put(12, 2, SILVER)

# Carrying handle.
rect(7, 8, 17, 8, BLACK)
rect(7, 9, 7, 11, BLACK)
rect(17, 9, 17, 11, BLACK)
rect(8, 9, 16, 9, GRAY)

# Body with a lit top edge and a shadowed bottom.
rect(2, 12, 29, 28, BLACK)
rect(3, 13, 28, 27, DKRED)
rect(3, 13, 28, 13, RED)
rect(3, 13, 3, 27, RED)
rect(3, 27, 28, 27, BLACK)

# Speaker: a grey disc with a dotted grille.
disc(10, 20, 5, BLACK)
disc(10, 20, 4, GRAY)
for y in range(16, 25):
    for x in range(6, 15):
        if (x - 10) ** 2 + (y - 20) ** 2 <= 16 and (x + y) % 2 == 0:
            put(x, y, BLACK)

# Tuning scale with a red needle.
rect(17, 15, 27, 20, BLACK)
rect(18, 16, 26, 19, YELLOW)
for x in range(19, 26, 2):
    put(x, 16, BLACK)
rect(22, 16, 22, 19, RED)

# Two knobs.
disc(20, 24, 1, SILVER)
put(20, 24, WHITE)
disc(25, 24, 1, SILVER)
put(25, 24, WHITE)

# Feet.
rect(4, 29, 6, 29, BLACK)
rect(25, 29, 27, 29, BLACK)


def chunk(kind, data):
    body = kind + data
    return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF)


def png_bytes():
    rows = b""
    for row in img:
        packed = bytes((row[x] << 4) | row[x + 1] for x in range(0, SIZE, 2))
        rows += b"\x00" + packed
    alpha = bytes(0 if i == CLEAR else 255 for i in range(16))
    return (b"\x89PNG\r\n\x1a\n"
            + chunk(b"IHDR", struct.pack(">IIBBBBB", SIZE, SIZE, 4, 3, 0, 0, 0))
            + chunk(b"PLTE", b"".join(bytes(c) for c in PALETTE))
            + chunk(b"tRNS", alpha)
            + chunk(b"IDAT", zlib.compress(rows, 9))
            + chunk(b"IEND", b""))


def ico_bytes(png):
    header = struct.pack("<HHH", 0, 1, 1)
    entry = struct.pack("<BBBBHHII", SIZE, SIZE, 16, 0, 1, 4, len(png), 6 + 16)
    return header + entry + png


here = os.path.dirname(os.path.abspath(__file__))
png = png_bytes()
with open(os.path.join(here, "tolva.png"), "wb") as f:
    f.write(png)
with open(os.path.join(here, "tolva.ico"), "wb") as f:
    f.write(ico_bytes(png))
