#!/usr/bin/env python3
"""Draws the program icon (32 x 32, 16 colours: a portable radio with an
antenna) and writes tolva.png (4-bit palette) and tolva.ico beside this file.
The same radio in vector form goes to icons/tolva.svg, and icons/tolva-N.png
holds it rendered for the desktop's other sizes (the 32 one is the pixel
drawing itself). Needs only the standard library; rerun after changing the
drawing, in both forms."""
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


# The same radio as shapes on the 32-unit grid, in painting order: a pixel
# (x, y) of the drawing above is the unit square from (x, y) to (x + 1, y + 1).
def box(x1, y1, x2, y2, c):
    return ("rect", x1, y1, x2 + 1, y2 + 1, c)


def rod(x1, y1, x2, y2, c):
    return ("line", x1 + 0.5, y1 + 0.5, x2 + 0.5, y2 + 0.5, c)


def ball(cx, cy, r, c):
    return ("circle", cx + 0.5, cy + 0.5, r + 0.5, c)


SHAPES = [
    rod(24, 12, 12, 2, GRAY), rod(25, 12, 13, 2, SILVER), rod(25, 11, 19, 6, WHITE),
    ball(12, 2, 1, BLACK), ball(12, 2, 0, SILVER),
    box(7, 8, 17, 8, BLACK), box(7, 9, 7, 11, BLACK), box(17, 9, 17, 11, BLACK), box(8, 9, 16, 9, GRAY),
    box(2, 12, 29, 28, BLACK), box(3, 13, 28, 27, DKRED), box(3, 13, 28, 13, RED), box(3, 13, 3, 27, RED),
    box(3, 27, 28, 27, BLACK),
    ball(10, 20, 5, BLACK), ball(10, 20, 4, GRAY),
] + [
    ("circle", x + 0.5, y + 0.5, 0.45, BLACK)
    for y in range(16, 25) for x in range(6, 15)
    if (x - 10) ** 2 + (y - 20) ** 2 <= 16 and (x + y) % 2 == 0
] + [
    box(17, 15, 27, 20, BLACK), box(18, 16, 26, 19, YELLOW),
] + [box(x, 16, x, 16, BLACK) for x in range(19, 26, 2)] + [
    box(22, 16, 22, 19, RED),
    ball(20, 24, 1, SILVER), ball(20, 24, 0, WHITE), ball(25, 24, 1, SILVER), ball(25, 24, 0, WHITE),
    box(4, 29, 6, 29, BLACK), box(25, 29, 27, 29, BLACK),
]


def hex_colour(c):
    return "#%02x%02x%02x" % PALETTE[c]


def svg_text():
    out = ['<?xml version="1.0" encoding="UTF-8"?>',
           '<svg xmlns="http://www.w3.org/2000/svg" width="32" height="32" viewBox="0 0 32 32">']
    for kind, *args, c in SHAPES:
        fill = hex_colour(c)
        if kind == "rect":
            x1, y1, x2, y2 = args
            out.append(f'<rect x="{x1}" y="{y1}" width="{x2 - x1}" height="{y2 - y1}" fill="{fill}"/>')
        elif kind == "line":
            x1, y1, x2, y2 = args
            out.append(f'<line x1="{x1}" y1="{y1}" x2="{x2}" y2="{y2}" stroke="{fill}" '
                       'stroke-width="1.2" stroke-linecap="round"/>')
        else:
            cx, cy, r = args
            out.append(f'<circle cx="{cx}" cy="{cy}" r="{r}" fill="{fill}"/>')
    out.append("</svg>")
    return "\n".join(out) + "\n"


def covers(shape, x, y):
    kind, *args, _ = shape
    if kind == "rect":
        x1, y1, x2, y2 = args
        return x1 <= x < x2 and y1 <= y < y2
    if kind == "circle":
        cx, cy, r = args
        return (x - cx) ** 2 + (y - cy) ** 2 <= r * r
    x1, y1, x2, y2 = args
    dx, dy = x2 - x1, y2 - y1
    t = max(0.0, min(1.0, ((x - x1) * dx + (y - y1) * dy) / (dx * dx + dy * dy)))
    return (x - x1 - t * dx) ** 2 + (y - y1 - t * dy) ** 2 <= 0.6 * 0.6


def bounds(shape):
    kind, *args, _ = shape
    if kind == "rect":
        return args
    if kind == "circle":
        cx, cy, r = args
        return cx - r, cy - r, cx + r, cy + r
    x1, y1, x2, y2 = args
    return min(x1, x2) - 0.6, min(y1, y2) - 0.6, max(x1, x2) + 0.6, max(y1, y2) + 0.6


def render(size, grid=4):
    """RGBA rows of the vector radio at size x size, grid x grid samples a pixel."""
    n = size * grid
    scale = 32 / n
    samples = [[None] * n for _ in range(n)]
    for shape in SHAPES:
        x1, y1, x2, y2 = bounds(shape)
        for sy in range(max(0, int(y1 / scale)), min(n, int(y2 / scale) + 1)):
            row = samples[sy]
            for sx in range(max(0, int(x1 / scale)), min(n, int(x2 / scale) + 1)):
                if covers(shape, (sx + 0.5) * scale, (sy + 0.5) * scale):
                    row[sx] = shape[-1]
    rows = []
    for py in range(size):
        row = bytearray()
        for px in range(size):
            r = g = b = a = 0
            for sy in range(py * grid, py * grid + grid):
                for sx in range(px * grid, px * grid + grid):
                    c = samples[sy][sx]
                    if c is not None:
                        cr, cg, cb = PALETTE[c]
                        r, g, b, a = r + cr, g + cg, b + cb, a + 1
            row += bytes((r // a, g // a, b // a, 255 * a // (grid * grid))) if a else bytes(4)
        rows.append(bytes(row))
    return rows


def rgba_png_bytes(rows):
    size = len(rows)
    raw = b"".join(b"\x00" + row for row in rows)
    return (b"\x89PNG\r\n\x1a\n"
            + chunk(b"IHDR", struct.pack(">IIBBBBB", size, size, 8, 6, 0, 0, 0))
            + chunk(b"IDAT", zlib.compress(raw, 9))
            + chunk(b"IEND", b""))


here = os.path.dirname(os.path.abspath(__file__))
png = png_bytes()
with open(os.path.join(here, "tolva.png"), "wb") as f:
    f.write(png)
with open(os.path.join(here, "tolva.ico"), "wb") as f:
    f.write(ico_bytes(png))

icons = os.path.join(here, "icons")
os.makedirs(icons, exist_ok=True)
with open(os.path.join(icons, "tolva.svg"), "w") as f:
    f.write(svg_text())
for size in (16, 22, 24, 32, 48, 64, 128, 256):
    with open(os.path.join(icons, f"tolva-{size}.png"), "wb") as f:
        f.write(png if size == 32 else rgba_png_bytes(render(size)))
