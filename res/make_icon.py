#!/usr/bin/env python3
"""Draws the program icon and writes res/velk.ico.

The picture: a page with a folded corner, cut across by a dashed line, its
lower piece pushed down and to the right, the two pieces numbered 1 and 2 at
the left, as a file cut into numbered parts. The icon
holds two 32 x 32 images, one of 16 colours and one of 256 colours.

    python3 res/make_icon.py [output.ico]
"""

import os
import struct
import sys

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

    images = [(16, 4, VGA, dib(SIZE, SIZE, 4, VGA, index16)),
              (0, 8, palette, dib(SIZE, SIZE, 8, palette, index256))]
    out = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for colours, bits, _, data in images:
        out += struct.pack("<BBBBHHII", SIZE, SIZE, colours, 0, 1, bits, len(data), offset)
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
