#!/usr/bin/env python3
"""Draws the program icon and writes res/velk.ico.

The picture: a page with a folded corner, cut across by a dashed line, its
lower piece pushed down and to the right, the two pieces numbered 1 and 2 at
the left, as a file cut into numbered parts. The icon holds two 32 x 32 images,
one of 16 colours and one of 256 colours, drawn pixel by pixel, and true-colour
images of 16, 24, 48 and 256 pixels (the last one compressed as PNG, as Windows
Vista and later read it) drawn from the same shapes at their own size, with
lines kept one pixel or more wide, so that no size is a blurred copy of another.

    python3 res/make_icon.py [output.ico]
"""

import os
import struct
import sys
import zlib

SIZE = 32

# The 16 colours of the standard VGA palette, as (r, g, b).
VGA = [
    (0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0),
    (0, 0, 128), (128, 0, 128), (0, 128, 128), (192, 192, 192),
    (128, 128, 128), (255, 0, 0), (0, 255, 0), (255, 255, 0),
    (0, 0, 255), (255, 0, 255), (0, 255, 255), (255, 255, 255),
]

# Named inks of the drawing, as RGB; the 16-colour image maps each to a VGA colour.
INK = {
    "outline": (0, 0, 0),
    "paper": (255, 255, 255),
    "paper_shade": (192, 192, 192),
    "fold": (128, 128, 128),
    "text": (0, 0, 128),
    "cut": (255, 0, 0),
    "arrow": (0, 128, 0),
}


def draw():
    """Returns a 32 x 32 grid of ink names (None = transparent), top row first."""
    grid = [[None] * SIZE for _ in range(SIZE)]

    def put(x, y, ink):
        if 0 <= x < SIZE and 0 <= y < SIZE:
            grid[y][x] = ink

    def page_piece(left, top, right, bottom, fold, shift_x, shift_y, first_line):
        # A piece of the page between rows top..bottom (inclusive), drawn shifted.
        for y in range(top, bottom + 1):
            for x in range(left, right + 1):
                if fold and y - top < 6 and x > right - 6 + (y - top):
                    continue  # the cut-off corner
                edge = x in (left, right) or y in (top, bottom)
                if fold and y - top < 6 and x == right - 6 + (y - top):
                    edge = True
                ink = "outline" if edge else "paper"
                if not edge and x > right - 3:
                    ink = "paper_shade"
                put(x + shift_x, y + shift_y, ink)
        if fold:
            # the folded-down corner
            for i in range(6):
                for x in range(right - 6, right - 6 + i + 1):
                    put(x + shift_x, top + i + shift_y, "fold")
                put(right - 6 + shift_x, top + i + shift_y, "outline")
            for x in range(right - 6, right + 1):
                put(x + shift_x, top + 6 + shift_y, "outline")
        # lines of text
        for row in range(first_line, bottom - 1, 3):
            if row <= top + 1:
                continue
            for x in range(left + 3, right - 3 - (4 if fold and row < top + 7 else 0)):
                if (x + row) % 7 != 0:
                    put(x + shift_x, row + shift_y, "text")

    # Upper piece: rows 1..15 of the page, with the folded corner.
    page_piece(5, 1, 24, 15, True, 0, 0, 4)
    # Lower piece: rows 16..28 of the page, pushed down and right.
    page_piece(5, 16, 24, 28, False, 3, 2, 19)
    # The dashed cut between the pieces.
    for x in range(2, 30):
        if (x // 2) % 2 == 0:
            put(x, 16, "cut")
    # Two small marks on the left: the pieces are numbered.
    for y in range(5, 10):
        put(2, y, "arrow")
    for x, y in ((1, 20), (2, 20), (3, 21), (2, 22), (1, 23), (1, 24), (2, 24), (3, 24)):
        put(x, y, "arrow")
    return grid


def nearest_vga(rgb):
    return min(range(16), key=lambda i: sum((a - b) ** 2 for a, b in zip(VGA[i], rgb)))


def palette_256():
    """Palette of the 256-colour image: the VGA colours, a grey ramp, then a colour cube."""
    colours = list(VGA)
    colours += [(g, g, g) for g in range(8, 256, 8)][:24]
    steps = [0, 51, 102, 153, 204, 255]
    for r in steps:
        for g in steps:
            for b in steps:
                colours.append((r, g, b))
    colours = colours[:256]
    colours += [(0, 0, 0)] * (256 - len(colours))
    return colours


def shade_256(grid):
    """Richer inks for the 256-colour image: soft shading on paper and fold."""
    shades = {}
    for y in range(SIZE):
        for x in range(SIZE):
            ink = grid[y][x]
            if ink is None:
                continue
            rgb = INK[ink]
            if ink == "paper":
                v = 255 - (x + y) // 4
                rgb = (v, v, 255)
            elif ink == "paper_shade":
                rgb = (200, 200, 230)
            elif ink == "fold":
                rgb = (160, 160, 200)
            elif ink == "text":
                rgb = (51, 51, 153)
            shades[(x, y)] = rgb
    return shades


def dib(width, height, bits, palette, index_of):
    """One icon image: BITMAPINFOHEADER, palette, XOR bitmap (bottom-up), AND mask."""
    header = struct.pack("<IiiHHIIiiII", 40, width, height * 2, 1, bits, 0, 0, 0, 0,
                         len(palette), 0)
    pal = b"".join(struct.pack("<BBBB", b, g, r, 0) for (r, g, b) in palette)
    row_bytes = ((width * bits + 31) // 32) * 4
    xor = bytearray()
    for y in reversed(range(height)):
        row = bytearray(row_bytes)
        for x in range(width):
            value = index_of(x, y)
            if value is None:
                value = 0
            if bits == 8:
                row[x] = value
            else:  # 4 bits per pixel, high nibble first
                row[x // 2] |= value << (4 if x % 2 == 0 else 0)
        xor += row
    mask_row_bytes = ((width + 31) // 32) * 4
    mask = bytearray()
    for y in reversed(range(height)):
        row = bytearray(mask_row_bytes)
        for x in range(width):
            if index_of(x, y) is None:
                row[x // 8] |= 0x80 >> (x % 8)
        mask += row
    return header + pal + bytes(xor) + bytes(mask)


# The 32 x 32 drawing's shapes, in its own units: (left, top, right, bottom, folded,
# shift x, shift y, first text row) for the two pieces of the page.
PIECES = [(5, 1, 24, 15, True, 0, 0, 4), (5, 16, 24, 28, False, 3, 2, 19)]
DIGIT_TWO = ((1, 20), (2, 20), (3, 21), (2, 22), (1, 23), (1, 24), (2, 24), (3, 24))


def draw_sized(n):
    """The same picture at n x n pixels, as rows of (r, g, b) or None (transparent)."""
    s = n / SIZE
    line = max(1, round(s))
    img = [[None] * n for _ in range(n)]

    def px(v):
        return int(round(v * s))

    def fill(x0, y0, x1, y1, rgb, inside=None):
        # Pixels [x0, x1) x [y0, y1), at least one pixel each way.
        x1, y1 = max(x1, x0 + 1), max(y1, y0 + 1)
        for y in range(max(0, y0), min(n, y1)):
            for x in range(max(0, x0), min(n, x1)):
                if inside is None or inside(x, y):
                    img[y][x] = rgb(x, y) if callable(rgb) else rgb

    for left, top, right, bottom, fold, dx, dy, first in PIECES:
        x0, y0 = px(left + dx), px(top + dy)
        x1, y1 = px(right + 1 + dx), px(bottom + 1 + dy)
        corner = px(7) if fold else 0

        def on_page(x, y, x1=x1, y0=y0, corner=corner):
            return x - (x1 - corner) < y - y0 or not corner

        def paper(x, y):
            v = 255 - int((x + y) / s) // 4
            return (v, v, 255)
        fill(x0, y0, x1, y1, paper, on_page)
        fill(x1 - px(3), y0, x1 - line, y1, (200, 200, 230), on_page)
        # text rows, at least two pixels apart, clear of the borders
        step = max(px(3), line + 1)
        y = px(first + dy)
        while y + line <= y1 - line - 1:
            if y > y0 + line:
                right_end = x1 - px(3) - (px(4) if corner and y < y0 + corner else 0)
                for x in range(x0 + px(3), right_end):
                    if (int(x / s) + int(y / s)) % 7 != 0 and on_page(x, y):
                        fill(x, y, x + 1, y + line, (51, 51, 153))
            y += step
        # outline, the fold's diagonal and the turned-down corner
        edge = (0, 0, 0)
        fill(x0, y1 - line, x1, y1, edge)
        fill(x0, y0, x0 + line, y1, edge)
        fill(x0, y0, x1 - corner, y0 + line, edge)
        fill(x1 - line, y0 + corner, x1, y1, edge)
        if corner:
            fill(x1 - corner, y0, x1, y0 + corner, (160, 160, 200),
                 lambda x, y: x - (x1 - corner) <= y - y0)
            for i in range(corner - line + 1):
                fill(x1 - corner + i, y0 + i, x1 - corner + i + line, y0 + i + line, edge)
            fill(x1 - corner, y0 + corner - line, x1, y0 + corner, edge)
            fill(x1 - corner, y0, x1 - corner + line, y0 + corner, edge)
    # the dashed cut, dashes two units long
    for x in range(2, 30, 4):
        fill(px(x), px(16), px(x + 2), px(16) + line, (255, 0, 0))
    # the numbers at the left
    green = (0, 128, 0)
    fill(px(2), px(5), px(2) + line, px(10), green)
    for x, y in DIGIT_TWO:
        fill(px(x), px(y), px(x + 1), px(y + 1), green)
    return img


def dib_true_colour(img):
    """A 32-bit image with alpha, and its AND mask, for the icon directory."""
    n = len(img)
    header = struct.pack("<IiiHHIIiiII", 40, n, n * 2, 1, 32, 0, 0, 0, 0, 0, 0)
    xor = bytearray()
    for y in reversed(range(n)):
        for x in range(n):
            rgb = img[y][x]
            xor += bytes((0, 0, 0, 0)) if rgb is None else bytes((rgb[2], rgb[1], rgb[0], 255))
    mask_row_bytes = ((n + 31) // 32) * 4
    mask = bytearray()
    for y in reversed(range(n)):
        row = bytearray(mask_row_bytes)
        for x in range(n):
            if img[y][x] is None:
                row[x // 8] |= 0x80 >> (x % 8)
        mask += row
    return header + bytes(xor) + bytes(mask)


def png(img):
    """The image as a PNG file (8-bit RGBA)."""
    n = len(img)
    raw = bytearray()
    for row in img:
        raw.append(0)
        for rgb in row:
            raw += bytes((0, 0, 0, 0)) if rgb is None else bytes((*rgb, 255))

    def chunk(kind, data):
        return (struct.pack(">I", len(data)) + kind + data +
                struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF))
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", n, n, 8, 6, 0, 0, 0)) +
            chunk(b"IDAT", zlib.compress(bytes(raw), 9)) + chunk(b"IEND", b""))


def build_icon():
    grid = draw()

    def index16(x, y):
        ink = grid[y][x]
        return None if ink is None else nearest_vga(INK[ink])

    palette = palette_256()
    shades = shade_256(grid)
    lookup = {}

    def index256(x, y):
        rgb = shades.get((x, y))
        if rgb is None:
            return None
        if rgb not in lookup:
            lookup[rgb] = min(range(256),
                              key=lambda i: sum((a - b) ** 2 for a, b in zip(palette[i], rgb)))
        return lookup[rgb]

    # (size, colours, bits, data); a size of 256 is written as 0 in the directory.
    images = [(SIZE, 16, 4, dib(SIZE, SIZE, 4, VGA, index16)),
              (SIZE, 0, 8, dib(SIZE, SIZE, 8, palette, index256))]
    for n in (16, 24, 48):
        images.append((n, 0, 32, dib_true_colour(draw_sized(n))))
    images.append((256, 0, 32, png(draw_sized(256))))
    out = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for n, colours, bits, data in images:
        out += struct.pack("<BBBBHHII", n % 256, n % 256, colours, 0, 1, bits, len(data), offset)
        offset += len(data)
    for _, _, _, data in images:
        out += data
    return out


def main():
    target = sys.argv[1] if len(sys.argv) > 1 else os.path.join(
        os.path.dirname(os.path.abspath(__file__)), "velk.ico")
    with open(target, "wb") as f:
        f.write(build_icon())
    print(target)


if __name__ == "__main__":
    main()
