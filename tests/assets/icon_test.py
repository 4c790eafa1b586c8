#!/usr/bin/env python3
"""The generated program icon: the .ico layout Windows reads, the sizes, transparency, the picture
staying legible at 16 pixels, reproducible. Arguments: the generated .ico, then the generator."""
import os
import struct
import subprocess
import sys
import tempfile
import unittest
import zlib

ICON = None
GENERATOR = None
SIZES = [16, 24, 32, 48, 256]


def read_entries(data):
    reserved, kind, count = struct.unpack_from("<HHH", data, 0)
    entries = []
    for i in range(count):
        w, h, colors, res, planes, bpp, length, offset = struct.unpack_from(
            "<BBBBHHII", data, 6 + 16 * i)
        entries.append({"width": w or 256, "height": h or 256, "colors": colors, "reserved": res,
                        "planes": planes, "bpp": bpp, "length": length, "offset": offset})
    return (reserved, kind, count), entries


def decode_bitmap(image, size):
    """RGBA rows top first, and the AND mask's bits, from the classic icon image."""
    header = struct.unpack_from("<IiiHHIIiiII", image, 0)
    pixels = image[40:40 + size * size * 4]
    rows = []
    for y in range(size - 1, -1, -1):  # stored bottom up
        row = []
        for x in range(size):
            b, g, r, a = pixels[(y * size + x) * 4:(y * size + x) * 4 + 4]
            row.append((r, g, b, a))
        rows.append(row)
    stride = ((size + 31) // 32) * 4
    mask_data = image[40 + size * size * 4:]
    mask = []
    for y in range(size - 1, -1, -1):
        line = mask_data[y * stride:(y + 1) * stride]
        mask.append([(line[x // 8] >> (7 - x % 8)) & 1 for x in range(size)])
    return header, rows, mask, stride


def decode_png(image):
    """RGBA rows of an 8-bit RGBA PNG written without filters, and its IHDR fields."""
    assert image[:8] == b"\x89PNG\r\n\x1a\n", "no PNG signature"
    at, ihdr, idat = 8, None, b""
    while at < len(image):
        length, kind = struct.unpack_from(">I4s", image, at)
        body = image[at + 8:at + 8 + length]
        crc, = struct.unpack_from(">I", image, at + 8 + length)
        assert crc == zlib.crc32(image[at + 4:at + 8 + length]), f"bad CRC in {kind}"
        if kind == b"IHDR":
            ihdr = struct.unpack(">IIBBBBB", body)
        elif kind == b"IDAT":
            idat += body
        at += 12 + length
    width, height = ihdr[0], ihdr[1]
    raw = zlib.decompress(idat)
    rows = []
    for y in range(height):
        line = raw[y * (1 + 4 * width):(y + 1) * (1 + 4 * width)]
        assert line[0] == 0, "unexpected PNG filter"
        rows.append([tuple(line[1 + 4 * x:5 + 4 * x]) for x in range(width)])
    return ihdr, rows


def is_light(pixel):
    r, g, b, a = pixel
    return a > 200 and min(r, g, b) > 200


class Icon(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        with open(ICON, "rb") as f:
            cls.data = f.read()
        cls.header, cls.entries = read_entries(cls.data)
        cls.images = {}
        for e in cls.entries:
            image = cls.data[e["offset"]:e["offset"] + e["length"]]
            if image[:4] == b"\x89PNG":
                _, rows = decode_png(image)
            else:
                _, rows, _, _ = decode_bitmap(image, e["width"])
            cls.images[e["width"]] = rows

    def test_directory(self):
        self.assertEqual(self.header, (0, 1, len(SIZES)))
        self.assertEqual([e["width"] for e in self.entries], SIZES)
        end = 6 + 16 * len(self.entries)
        for e in self.entries:
            with self.subTest(size=e["width"]):
                self.assertEqual(e["height"], e["width"])
                self.assertEqual((e["colors"], e["reserved"], e["planes"], e["bpp"]), (0, 0, 1, 32))
                # Images follow the directory without gaps or overlaps, inside the file.
                self.assertEqual(e["offset"], end)
                end = e["offset"] + e["length"]
        self.assertEqual(end, len(self.data))

    def test_bitmap_images(self):
        for e in self.entries:
            size = e["width"]
            if size >= 256:
                continue
            with self.subTest(size=size):
                image = self.data[e["offset"]:e["offset"] + e["length"]]
                header, rows, mask, stride = decode_bitmap(image, size)
                # BITMAPINFOHEADER: double height (colour and mask), 32 bits, uncompressed.
                self.assertEqual(header[:6], (40, size, 2 * size, 1, 32, 0))
                self.assertEqual(len(image), 40 + size * size * 4 + stride * size)
                # The mask marks exactly the fully transparent pixels, for programs that ignore
                # the alpha channel.
                for y in range(size):
                    for x in range(size):
                        self.assertEqual(mask[y][x], 1 if rows[y][x][3] == 0 else 0, (x, y))

    def test_large_image_is_png(self):
        e = self.entries[-1]
        ihdr, rows = decode_png(self.data[e["offset"]:e["offset"] + e["length"]])
        # 256 x 256, 8 bits per channel, RGBA, no interlacing.
        self.assertEqual(ihdr, (256, 256, 8, 6, 0, 0, 0))
        self.assertEqual(len(rows), 256)

    def test_tile_is_opaque_and_corners_clear(self):
        for size, rows in self.images.items():
            with self.subTest(size=size):
                for x, y in ((0, 0), (size - 1, 0), (0, size - 1), (size - 1, size - 1)):
                    self.assertEqual(rows[y][x][3], 0, f"corner {x},{y} not transparent")
                middle = size // 2
                for y in range(size // 4, size - size // 4):
                    self.assertEqual(rows[y][middle][3], 255, f"hole at {middle},{y}")

    def test_three_lines_stay_apart(self):
        # Right of the handset three light lines, separated by the blue tile: at every size a
        # vertical cut through them crosses three light runs.
        for size, rows in self.images.items():
            with self.subTest(size=size):
                x = int(size * 0.78)
                column = [is_light(rows[y][x]) for y in range(size)]
                runs = sum(1 for y in range(size) if column[y] and (y == 0 or not column[y - 1]))
                self.assertEqual(runs, 3, "".join("#" if c else "." for c in column))

    def test_handset_spans_the_height(self):
        # The handset's arc on the left, its two pads above and below the middle.
        for size, rows in self.images.items():
            with self.subTest(size=size):
                left = [any(is_light(rows[y][x]) for x in range(size // 2)) for y in range(size)]
                thirds = [any(left[i * size // 3:(i + 1) * size // 3]) for i in range(3)]
                self.assertEqual(thirds, [True, True, True])
                light = sum(is_light(p) for row in rows for p in row)
                # Enough white to read, enough blue around it to tell the shapes apart.
                self.assertGreater(light, 0.10 * size * size)
                self.assertLess(light, 0.40 * size * size)

    def test_generator_is_reproducible(self):
        with tempfile.TemporaryDirectory() as d:
            again = os.path.join(d, "again.ico")
            subprocess.run([sys.executable, GENERATOR, "--out", again], check=True, timeout=120)
            with open(again, "rb") as f:
                self.assertTrue(f.read() == self.data, "a second run gives other bytes")


if __name__ == "__main__":
    ICON, GENERATOR = sys.argv[1], sys.argv[2]
    unittest.main(argv=sys.argv[:1])
