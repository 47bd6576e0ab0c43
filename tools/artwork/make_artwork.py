#!/usr/bin/env python3
"""Draws the program's own artwork: icon 128 (32 x 32, 16 colours) and the
wizard's side picture, bitmap 139 (118 x 258, 16 colours, uncompressed)."""
import struct
import sys

# The 16 colours of the standard Windows palette, as (red, green, blue).
PALETTE = [
    (0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0), (0, 0, 128), (128, 0, 128),
    (0, 128, 128), (192, 192, 192), (128, 128, 128), (255, 0, 0), (0, 255, 0),
    (255, 255, 0), (0, 0, 255), (255, 0, 255), (0, 255, 255), (255, 255, 255),
]
BLACK, NAVY, GREY, BLUE, CYAN, WHITE, YELLOW = 0, 4, 8, 12, 14, 15, 11


def palette_bytes():
    return b"".join(struct.pack("<BBBB", b, g, r, 0) for (r, g, b) in PALETTE)


def pack_4bpp(rows, width):
    """Bottom-up rows of 4-bit indices, each row padded to 4 bytes."""
    out = bytearray()
    for row in reversed(rows):
        line = bytearray()
        for x in range(0, width, 2):
            hi = row[x]
            lo = row[x + 1] if x + 1 < width else 0
            line.append((hi << 4) | lo)
        while len(line) % 4:
            line.append(0)
        out += line
    return bytes(out)


def icon_pixels():
    """A blue disk carrying a white tile grid: a tile map on a floppy."""
    rows = []
    for y in range(32):
        row = []
        for x in range(32):
            if 3 <= x <= 28 and 2 <= y <= 29:
                c = NAVY
                if 9 <= x <= 22 and 2 <= y <= 10:
                    c = GREY
                    if 17 <= x <= 20 and 4 <= y <= 8:
                        c = NAVY
                if 7 <= x <= 24 and 14 <= y <= 27:
                    c = WHITE
                    if (x - 7) % 6 == 0 or (y - 14) % 5 == 0:
                        c = BLUE
                    elif (x // 6 + y // 5) % 2 == 0:
                        c = CYAN
            else:
                c = BLACK
            row.append(c)
        rows.append(row)
    return rows


def write_icon(path):
    w = h = 32
    xor = pack_4bpp(icon_pixels(), w)
    and_mask = bytes(4 * h)  # every pixel opaque
    header = struct.pack("<IiiHHIIiiII", 40, w, h * 2, 1, 4, 0, len(xor) + len(and_mask), 0, 0, 16, 0)
    image = header + palette_bytes() + xor + and_mask
    directory = struct.pack("<HHH", 0, 1, 1) + struct.pack("<BBBBHHII", w, h, 16, 0, 1, 4, len(image), 22)
    with open(path, "wb") as f:
        f.write(directory + image)


def bitmap_pixels(w, h):
    """A vertical blue band with a stack of map tiles."""
    rows = []
    for y in range(h):
        row = []
        for x in range(w):
            c = NAVY if y < h * 2 // 3 else BLUE
            tx, ty = (x - 14) // 30, (y - 30) // 30
            if 14 <= x < 104 and 30 <= y < 210 and (x - 14) % 30 > 2 and (y - 30) % 30 > 2:
                c = [CYAN, YELLOW, WHITE, GREY][(tx + ty) % 4]
            row.append(c)
        rows.append(row)
    return rows


def write_bitmap(path):
    w, h = 118, 258
    pixels = pack_4bpp(bitmap_pixels(w, h), w)
    info = struct.pack("<IiiHHIIiiII", 40, w, h, 1, 4, 0, len(pixels), 2835, 2835, 16, 0)
    offset = 14 + len(info) + 64
    file_header = struct.pack("<2sIHHI", b"BM", offset + len(pixels), 0, 0, offset)
    with open(path, "wb") as f:
        f.write(file_header + info + palette_bytes() + pixels)


if __name__ == "__main__":
    out = sys.argv[1]
    write_icon(out + "/setup.ico")
    write_bitmap(out + "/setup.bmp")
