#!/usr/bin/env python3
"""Writes the program's icon: a white telephone handset beside three list lines on a blue tile,
in the sizes 16, 24, 32 and 48 (32-bit bitmaps) and 256 (PNG), as one .ico file.

The shapes are signed distance functions evaluated once per pixel centre; the distance gives the
edge's coverage. Only +, -, *, / and sqrt are used, which IEEE arithmetic rounds the same
everywhere, so the pixels do not depend on the platform's C library."""
import argparse
import os
import struct
import sys
import zlib

SIZES = (16, 24, 32, 48, 256)
# Empty border around the tile, in pixels: the system draws icons edge to edge, and at the larger
# sizes a margin keeps the tile from looking bigger than its neighbours.
MARGIN = {16: 0, 24: 1, 32: 1, 48: 2, 256: 12}

TOP = (0x35, 0x86, 0xE0)
BOTTOM = (0x17, 0x4C, 0x9A)
OUTLINE = (0x10, 0x3A, 0x78)
WHITE = (0xFF, 0xFF, 0xFF)
LINES = (0xE4, 0xEE, 0xFA)


def clamp(x, low=0.0, high=1.0):
    return low if x < low else high if x > high else x


def length(x, y):
    return (x * x + y * y) ** 0.5


def rounded_box(px, py, cx, cy, half_w, half_h, radius):
    """Distance to a rectangle centred at (cx, cy) with rounded corners."""
    qx = abs(px - cx) - half_w + radius
    qy = abs(py - cy) - half_h + radius
    outside = length(max(qx, 0.0), max(qy, 0.0))
    return outside + min(max(qx, qy), 0.0) - radius


def capsule(px, py, ax, ay, bx, by, radius):
    """Distance to the segment from a to b thickened by radius."""
    dx, dy = bx - ax, by - ay
    t = clamp(((px - ax) * dx + (py - ay) * dy) / (dx * dx + dy * dy))
    return length(px - ax - t * dx, py - ay - t * dy) - radius


class Geometry:
    """The shapes of one size, in pixels. Lines and the tile edge are snapped to whole pixels, so
    that the small sizes stay sharp."""

    def __init__(self, size):
        m = MARGIN[size]
        self.size = size
        self.x0 = self.y0 = m
        self.tile = size - 2 * m
        t = self.tile
        self.radius = max(2.0, round(0.19 * t))
        self.outline = max(1.0, round(t / 40.0))

        # The handset: an arc open to the right, with a pad at each end facing right.
        self.arc_cx = self.x0 + 0.53 * t
        self.arc_cy = self.y0 + 0.50 * t
        self.arc_r = 0.33 * t
        self.arc_half = max(1.0, 0.065 * t)
        # The arc keeps to the left of its centre, within this slope of the horizontal.
        self.arc_slope = 1.35
        self.pad_half = max(1.3, 0.10 * t)
        self.pad_len = 0.27 * t
        self.pad_shift = 0.02 * t
        # Where the arc ends: the point on the centre line at the sector's edge.
        d = (1.0 + self.arc_slope * self.arc_slope) ** 0.5
        self.end_dx = -self.arc_r / d
        self.end_dy = self.arc_r * self.arc_slope / d

        # Three list lines right of the handset, on whole pixels.
        thick = max(1, round(0.085 * t))
        self.line_half = thick / 2.0
        self.line_x0 = self.x0 + round(0.62 * t)
        self.line_x1 = self.x0 + round(0.88 * t)
        step = max(thick + 1, round(0.17 * t))
        middle = self.y0 + round(0.50 * t - thick / 2.0)
        self.line_ys = [middle - step + self.line_half, middle + self.line_half,
                        middle + step + self.line_half]

    def tile_distance(self, px, py):
        half = self.tile / 2.0
        return rounded_box(px, py, self.x0 + half, self.y0 + half, half, half, self.radius)

    def handset_distance(self, px, py):
        dx, dy = px - self.arc_cx, py - self.arc_cy
        ring = abs(length(dx, dy) - self.arc_r) - self.arc_half
        # Inside the sector: left of the centre and within the slope. Outside it the pads close
        # the ends, so the ring's distance beyond the sector only needs to grow.
        sector = max(dx, abs(dy) - self.arc_slope * -dx)
        arc = max(ring, sector)
        best = arc
        for sign in (-1.0, 1.0):
            # The ear and mouth pieces: pads at the arc's ends, facing right.
            ex = self.arc_cx + self.end_dx
            ey = self.arc_cy + sign * self.end_dy
            cx = ex + self.pad_len / 2.0 - self.arc_half
            cy = ey + sign * self.pad_shift
            pad = rounded_box(px, py, cx, cy, self.pad_len / 2.0, self.pad_half,
                              self.pad_half * 0.9)
            best = min(best, pad)
        return best

    def lines_distance(self, px, py):
        best = 1e9
        for y in self.line_ys:
            best = min(best, capsule(px, py, self.line_x0 + self.line_half, y,
                                     self.line_x1 - self.line_half, y, self.line_half))
        return best


def over(dst, color, alpha):
    """Composes color with coverage alpha over dst (straight RGBA, floats 0..1)."""
    if alpha <= 0.0:
        return dst
    r, g, b, a = dst
    out_a = alpha + a * (1.0 - alpha)
    if out_a <= 0.0:
        return (0.0, 0.0, 0.0, 0.0)
    mix = [(c / 255.0 * alpha + d * a * (1.0 - alpha)) / out_a for c, d in zip(color, (r, g, b))]
    return (mix[0], mix[1], mix[2], out_a)


def render(size):
    """RGBA rows, top row first, 8 bits per channel."""
    g = Geometry(size)
    rows = []
    for y in range(size):
        row = bytearray()
        py = y + 0.5
        shade = clamp((py - g.y0) / g.tile)
        fill = tuple(TOP[i] + (BOTTOM[i] - TOP[i]) * shade for i in range(3))
        for x in range(size):
            px = x + 0.5
            pixel = (0.0, 0.0, 0.0, 0.0)
            d = g.tile_distance(px, py)
            pixel = over(pixel, OUTLINE, clamp(0.5 - d))
            pixel = over(pixel, fill, clamp(0.5 - (d + g.outline)))
            pixel = over(pixel, WHITE, clamp(0.5 - g.handset_distance(px, py)))
            pixel = over(pixel, LINES, clamp(0.5 - g.lines_distance(px, py)))
            row += bytes(int(c * 255.0 + 0.5) for c in pixel)
        rows.append(bytes(row))
    return rows


def bitmap_image(size, rows):
    """The icon directory's image in the classic form: a BITMAPINFOHEADER of double height, the
    BGRA rows bottom up, then the AND mask (1 where transparent), rows padded to 4 bytes."""
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, 0, 0, 0, 0, 0)
    pixels = bytearray()
    for row in reversed(rows):
        for x in range(size):
            r, g, b, a = row[4 * x:4 * x + 4]
            pixels += bytes((b, g, r, a))
    mask_stride = ((size + 31) // 32) * 4
    mask = bytearray()
    for row in reversed(rows):
        line = bytearray(mask_stride)
        for x in range(size):
            if row[4 * x + 3] == 0:
                line[x // 8] |= 0x80 >> (x % 8)
        mask += line
    return header + bytes(pixels) + bytes(mask)


def png_image(size, rows):
    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body))

    raw = b"".join(b"\x00" + row for row in rows)
    ihdr = struct.pack(">IIBBBBB", size, size, 8, 6, 0, 0, 0)
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", ihdr) + chunk(b"IDAT", zlib.compress(raw, 9)) +
            chunk(b"IEND", b""))


def icon_file(images):
    """images: (size, bytes) pairs. The ICONDIR, its entries, then the images in order."""
    out = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for size, data in images:
        side = 0 if size >= 256 else size  # 0 stands for 256
        out += struct.pack("<BBBBHHII", side, side, 0, 0, 1, 32, len(data), offset)
        offset += len(data)
    return out + b"".join(data for _, data in images)


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--out", required=True, help="the .ico file to write")
    parser.add_argument("--png-dir", help="also write each size as PNG there, to look at")
    args = parser.parse_args()
    images = []
    for size in SIZES:
        rows = render(size)
        images.append((size, png_image(size, rows) if size >= 256 else bitmap_image(size, rows)))
        if args.png_dir:
            os.makedirs(args.png_dir, exist_ok=True)
            with open(os.path.join(args.png_dir, f"icon-{size}.png"), "wb") as f:
                f.write(png_image(size, rows))
    data = icon_file(images)
    # Written whole under another name first, so that a broken run leaves no half icon behind.
    temporary = args.out + ".tmp"
    with open(temporary, "wb") as f:
        f.write(data)
    os.replace(temporary, args.out)
    return 0


if __name__ == "__main__":
    sys.exit(main())
