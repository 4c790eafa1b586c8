#!/usr/bin/env python3
"""The generated confirmation sound: stored form, WAVE layout, level, quiet ends, reproducible.
Arguments: the generated stored-form file, then the generator."""
import array
import os
import subprocess
import sys
import tempfile
import unittest

STORED = None
GENERATOR = None
WAVE_SIZE = 227372
DATA_SIZE = 227328


def u16(b, at):
    return int.from_bytes(b[at:at + 2], "little")


def u32(b, at):
    return int.from_bytes(b[at:at + 4], "little")


class Chime(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        with open(STORED, "rb") as f:
            cls.stored = f.read()
        cls.wave = cls.stored[4:]
        samples = array.array("h")
        samples.frombytes(cls.wave[44:])
        if sys.byteorder != "little":
            samples.byteswap()
        cls.samples = samples

    def test_stored_length(self):
        self.assertEqual(int.from_bytes(self.stored[:4], "little", signed=True), WAVE_SIZE)
        self.assertEqual(len(self.wave), WAVE_SIZE)

    def test_wave_layout(self):
        w = self.wave
        fields = [
            ("RIFF", w[0:4], b"RIFF"),
            ("RIFF size", u32(w, 4), WAVE_SIZE - 8),
            ("form", w[8:12], b"WAVE"),
            ("fmt id", w[12:16], b"fmt "),
            ("fmt size", u32(w, 16), 16),
            ("format", u16(w, 20), 1),
            ("channels", u16(w, 22), 2),
            ("rate", u32(w, 24), 44100),
            ("bytes per second", u32(w, 28), 176400),
            ("block align", u16(w, 32), 4),
            ("bits", u16(w, 34), 16),
            ("data id", w[36:40], b"data"),
            ("data size", u32(w, 40), DATA_SIZE),
        ]
        for name, actual, expected in fields:
            with self.subTest(field=name):
                self.assertEqual(actual, expected)

    def test_level_and_ends(self):
        s = self.samples
        self.assertEqual(len(s), DATA_SIZE // 2)
        peak = max(abs(v) for v in s)
        # Audible, and well below full scale.
        self.assertGreater(peak, 0.15 * 32767)
        self.assertLess(peak, 0.6 * 32767)
        # Both channels of the first and the last frame are silent: no click at either end.
        self.assertEqual(list(s[:2]), [0, 0])
        self.assertEqual(list(s[-2:]), [0, 0])

    def test_two_notes(self):
        # The second note starts about 0.15 s in: the level rises again there.
        def level(start, frames=441):
            seg = self.samples[2 * start:2 * (start + frames)]
            return max(abs(v) for v in seg)
        self.assertGreater(level(int(0.16 * 44100)), 1.2 * level(int(0.14 * 44100)))

    def test_generator_is_reproducible(self):
        with tempfile.TemporaryDirectory() as d:
            again = os.path.join(d, "again.bin")
            subprocess.run([sys.executable, GENERATOR, "--out", again], check=True, timeout=120)
            with open(again, "rb") as f:
                self.assertTrue(f.read() == self.stored, "a second run gives other bytes")


if __name__ == "__main__":
    STORED, GENERATOR = sys.argv[1], sys.argv[2]
    unittest.main(argv=sys.argv[:1])
