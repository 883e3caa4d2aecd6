#!/usr/bin/env python3
"""Draws Corvane's application icon and writes it as Corvane.icns (PNG entries).

A dark rounded square with three rows of key caps; one key, the translated one, is lit.
Pure Python (zlib and struct only), so it runs on any machine: python3 make-icon.py
"""
import math
import struct
import sys
import zlib
from pathlib import Path


def rounded_rect_coverage(px, py, x0, y0, x1, y1, radius):
    """Anti-aliased coverage (0..1) of the pixel centred at (px, py) by a rounded rectangle."""
    cx, cy = (x0 + x1) / 2, (y0 + y1) / 2
    hx, hy = (x1 - x0) / 2 - radius, (y1 - y0) / 2 - radius
    dx, dy = abs(px - cx) - hx, abs(py - cy) - hy
    outside = math.hypot(max(dx, 0.0), max(dy, 0.0))
    inside = min(max(dx, dy), 0.0)
    distance = outside + inside - radius
    return min(max(0.5 - distance, 0.0), 1.0)


def blend(dst, src, alpha):
    """src over dst, both (r, g, b, a) with a in 0..1."""
    a = alpha * src[3]
    out_a = a + dst[3] * (1 - a)
    if out_a == 0:
        return (0.0, 0.0, 0.0, 0.0)
    return tuple((src[i] * a + dst[i] * dst[3] * (1 - a)) / out_a for i in range(3)) + (out_a,)


def shapes(size):
    """The icon as a list of (rectangle, radius, colour) in pixel units, back to front."""
    s = size / 1024.0
    items = []
    # Background: the macOS icon grid's rounded square (824 of 1024, 100 margin).
    items.append(((100, 100, 924, 924), 185, "background"))
    key_rows = [(300, 6), (440, 6), (580, 5)]
    key_w, key_h, gap = 88, 104, 20
    for row, (top, count) in enumerate(key_rows):
        width = count * key_w + (count - 1) * gap
        left = 512 - width / 2
        for i in range(count):
            x0 = left + i * (key_w + gap)
            lit = row == 1 and i == 2
            items.append(((x0, top, x0 + key_w, top + key_h), 18, "lit" if lit else "key"))
    # The space bar.
    items.append(((330, 720, 694, 800), 18, "key"))
    return [((r[0] * s, r[1] * s, r[2] * s, r[3] * s), radius * s, kind) for r, radius, kind in items]


COLOURS = {
    "key": (0.90, 0.93, 0.96, 1.0),
    "lit": (1.00, 0.62, 0.20, 1.0),
}


def background(py, size):
    """A vertical gradient from teal to deep blue."""
    t = py / size
    top, bottom = (0.10, 0.45, 0.55), (0.07, 0.16, 0.32)
    return tuple(top[i] + (bottom[i] - top[i]) * t for i in range(3)) + (1.0,)


def render(size):
    items = shapes(size)
    rows = []
    for y in range(size):
        py = y + 0.5
        row = bytearray(b"\x00")  # PNG filter type: none
        for x in range(size):
            px = x + 0.5
            pixel = (0.0, 0.0, 0.0, 0.0)
            for (x0, y0, x1, y1), radius, kind in items:
                if px < x0 - 1 or px > x1 + 1 or py < y0 - 1 or py > y1 + 1:
                    continue
                coverage = rounded_rect_coverage(px, py, x0, y0, x1, y1, radius)
                if coverage > 0:
                    colour = background(py, size) if kind == "background" else COLOURS[kind]
                    pixel = blend(pixel, colour, coverage)
            row += bytes(int(round(min(max(c, 0.0), 1.0) * 255)) for c in pixel)
        rows.append(bytes(row))
    return png(size, b"".join(rows))


def png(size, raw):
    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF)

    header = struct.pack(">IIBBBBB", size, size, 8, 6, 0, 0, 0)  # 8-bit RGBA
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) +
            chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b""))


# icns entry types that hold PNG data, with their pixel sizes.
ENTRIES = [
    (b"icp4", 16), (b"icp5", 32), (b"ic11", 32), (b"icp6", 64), (b"ic12", 64),
    (b"ic07", 128), (b"ic08", 256), (b"ic13", 256), (b"ic09", 512), (b"ic14", 512),
    (b"ic10", 1024),
]


def main():
    out = Path(sys.argv[1]) if len(sys.argv) > 1 else Path(__file__).with_name("Corvane.icns")
    rendered = {}
    body = b""
    for kind, size in ENTRIES:
        if size not in rendered:
            rendered[size] = render(size)
        data = rendered[size]
        body += kind + struct.pack(">I", len(data) + 8) + data
    out.write_bytes(b"icns" + struct.pack(">I", len(body) + 8) + body)
    Path(out.with_suffix(".png")).write_bytes(rendered[512])
    print(f"wrote {out} and {out.with_suffix('.png')}")


if __name__ == "__main__":
    main()
