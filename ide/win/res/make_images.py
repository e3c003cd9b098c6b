#!/usr/bin/env python3
"""Draws the toolbar strips and the program icon of zvs (run once; the
results are committed): toolbar_32/64/96.bmp hold Run, Step and Stop side by
side on magenta (the transparent colour), zvs.ico a script page with a
green Run triangle at 16 and 32 pixels. Plain Python, 4x4 supersampling."""
import struct
import sys
from pathlib import Path

MAGENTA = (255, 0, 255)


def inside_polygon(x, y, pts):
    hit = False
    j = len(pts) - 1
    for i in range(len(pts)):
        (xi, yi), (xj, yj) = pts[i], pts[j]
        if (yi > y) != (yj > y) and x < (xj - xi) * (y - yi) / (yj - yi) + xi:
            hit = not hit
        j = i
    return hit


def render(size, shapes, background):
    """shapes: list of (test(x, y) -> bool in unit coordinates, rgb).
    Returns rows of (r, g, b, coverage) top to bottom."""
    n = 4
    rows = []
    for py in range(size):
        row = []
        for px in range(size):
            acc = [0.0, 0.0, 0.0]
            cover = 0
            for sy in range(n):
                for sx in range(n):
                    x = (px + (sx + 0.5) / n) / size
                    y = (py + (sy + 0.5) / n) / size
                    colour = None
                    for test, rgb in shapes:
                        if test(x, y):
                            colour = rgb
                    if colour is None:
                        colour = background
                    else:
                        cover += 1
                    for k in range(3):
                        acc[k] += colour[k]
            row.append(tuple(int(round(c / (n * n))) for c in acc) + (cover / (n * n),))
        rows.append(row)
    return rows


def poly(pts):
    return lambda x, y: inside_polygon(x, y, pts)


def rect(x0, y0, x1, y1):
    return lambda x, y: x0 <= x < x1 and y0 <= y < y1


RUN = [(poly([(0.28, 0.18), (0.28, 0.82), (0.82, 0.5)]), (0, 150, 40))]
STEP = [
    (rect(0.14, 0.16, 0.86, 0.24), (120, 120, 120)),
    (rect(0.14, 0.76, 0.86, 0.84), (120, 120, 120)),
    (rect(0.14, 0.44, 0.50, 0.56), (30, 90, 200)),
    (poly([(0.48, 0.30), (0.48, 0.70), (0.86, 0.5)]), (30, 90, 200)),
]
STOP = [(rect(0.24, 0.24, 0.76, 0.76), (200, 30, 30))]


def toolbar(size):
    images = [render(size, shapes, MAGENTA) for shapes in (RUN, STEP, STOP)]
    # Edges blend with magenta; snap them to the shape's colour or to the
    # mask so that no pink fringe shows on the button face.
    rows = []
    for y in range(size):
        row = []
        for img in images:
            for (r, g, b, cover) in img[y]:
                row.append(MAGENTA if cover < 0.5 else (r, g, b) if cover == 1 else unblend((r, g, b), cover))
        rows.append(row)
    return rows


def unblend(rgb, cover):
    return tuple(max(0, min(255, int(round((c - m * (1 - cover)) / cover)))) for c, m in zip(rgb, MAGENTA))


def bmp24(rows):
    h, w = len(rows), len(rows[0])
    stride = (w * 3 + 3) & ~3
    data = bytearray()
    for row in reversed(rows):
        line = bytearray()
        for (r, g, b) in row:
            line += bytes((b, g, r))
        data += line + b"\0" * (stride - len(line))
    header = struct.pack("<2sIHHI", b"BM", 14 + 40 + len(data), 0, 0, 54)
    info = struct.pack("<IiiHHIIiiII", 40, w, h, 1, 24, 0, len(data), 2835, 2835, 0, 0)
    return header + info + bytes(data)


ICON = [
    (poly([(0.16, 0.06), (0.66, 0.06), (0.84, 0.24), (0.84, 0.94), (0.16, 0.94)]), (90, 90, 100)),
    (poly([(0.20, 0.10), (0.64, 0.10), (0.80, 0.26), (0.80, 0.90), (0.20, 0.90)]), (255, 255, 255)),
    (rect(0.28, 0.22, 0.56, 0.28), (60, 60, 160)),
    (rect(0.28, 0.36, 0.70, 0.42), (60, 60, 160)),
    (rect(0.28, 0.50, 0.48, 0.56), (60, 60, 160)),
    (poly([(0.44, 0.52), (0.44, 0.96), (0.96, 0.74)]), (0, 150, 40)),
]


def icon_image(size):
    rows = render(size, ICON, (0, 0, 0))
    xor = bytearray()
    for row in reversed(rows):
        for (r, g, b, cover) in row:
            if cover > 0:
                r, g, b = (int(min(255, c / cover)) for c in (r, g, b))
            xor += bytes((b, g, r, int(round(cover * 255))))
    mask_stride = ((size + 31) // 32) * 4
    mask = bytearray(mask_stride * size)  # all shown: alpha decides
    info = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, len(xor) + len(mask), 0, 0, 0, 0)
    return info + bytes(xor) + bytes(mask)


def ico(sizes):
    images = [icon_image(s) for s in sizes]
    out = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for s, img in zip(sizes, images):
        out += struct.pack("<BBBBHHII", s, s, 0, 0, 1, 32, len(img), offset)
        offset += len(img)
    return out + b"".join(images)


def main():
    here = Path(sys.argv[1]) if len(sys.argv) > 1 else Path(__file__).parent
    for size in (32, 64, 96):
        (here / f"toolbar_{size}.bmp").write_bytes(bmp24(toolbar(size)))
    (here / "zvs.ico").write_bytes(ico([16, 32, 48]))


if __name__ == "__main__":
    main()
