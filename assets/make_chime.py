#!/usr/bin/env python3
"""Writes the confirmation sound in its stored form: a 4-byte little-endian length, then a
complete PCM WAVE file of that length. A soft two-tone chime, a fourth upwards.

Only basic floating-point arithmetic is used (no math.sin or math.exp), so the bytes do not
depend on the platform's C library: the same on every machine."""
import argparse
import os
import struct
import sys

RATE = 44100
CHANNELS = 2
BITS = 16
FRAMES = 56832  # 227328 data bytes, about 1.29 s
BLOCK_ALIGN = CHANNELS * BITS // 8
PI = 3.141592653589793
PEAK = 0.40  # of full scale, well clear of clipping

# (start in s, pitch in Hz, decay time constant in s, left gain, right gain)
NOTES = [
    (0.00, 659.255, 0.32, 1.00, 0.80),  # E5
    (0.15, 880.000, 0.42, 0.80, 1.00),  # A5
]
# (multiple of the pitch, relative level, how much faster it decays)
PARTIALS = [(1, 1.00, 1.0), (2, 0.22, 1.8), (3, 0.06, 2.6), (4.2, 0.025, 3.5)]
ATTACK = 0.006  # s, quick but without a click
FADE = 0.12  # s of fade-out to exact silence at the end


def sin_cos(x):
    """sin and cos of a small angle by their series."""
    s, c, term_s, term_c = 0.0, 0.0, x, 1.0
    for n in range(1, 30, 2):
        s += term_s
        c += term_c
        term_s *= -x * x / ((n + 1) * (n + 2))
        term_c *= -x * x / (n * (n + 1))
    return s, c


def exp_small(x):
    """e to the power of a small x by its series."""
    total, term = 0.0, 1.0
    for n in range(1, 30):
        total += term
        term *= x / n
    return total


def smoothstep(t):
    t = min(max(t, 0.0), 1.0)
    return t * t * (3.0 - 2.0 * t)


def render():
    left = [0.0] * FRAMES
    right = [0.0] * FRAMES
    for start, pitch, decay, gain_l, gain_r in NOTES:
        first = int(start * RATE)
        attack_frames = ATTACK * RATE
        for multiple, level, faster in PARTIALS:
            freq = pitch * multiple
            if freq >= RATE / 2:
                continue
            # A phasor turned by a fixed rotation each frame, decaying by a fixed factor.
            ds, dc = sin_cos(2.0 * PI * freq / RATE)
            damp = exp_small(-faster / (decay * RATE))
            re, im, amp = 1.0, 0.0, level
            for i in range(first, FRAMES):
                value = amp * im * smoothstep((i - first) / attack_frames)
                left[i] += value * gain_l
                right[i] += value * gain_r
                re, im = re * dc - im * ds, re * ds + im * dc
                amp *= damp
    fade_frames = FADE * RATE
    for i in range(FRAMES):
        f = smoothstep((FRAMES - 1 - i) / fade_frames)
        left[i] *= f
        right[i] *= f
    top = max(max(abs(v) for v in left), max(abs(v) for v in right))
    scale = PEAK * 32767.0 / top
    frames = bytearray()
    for l, r in zip(left, right):
        frames += struct.pack("<hh", round(l * scale), round(r * scale))
    return bytes(frames)


def wave_file(data):
    fmt = struct.pack("<HHIIHH", 1, CHANNELS, RATE, RATE * BLOCK_ALIGN, BLOCK_ALIGN, BITS)
    body = b"WAVE" + b"fmt " + struct.pack("<I", len(fmt)) + fmt
    body += b"data" + struct.pack("<I", len(data)) + data
    return b"RIFF" + struct.pack("<I", len(body)) + body


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--out", required=True, help="the stored form (length, then the WAVE)")
    parser.add_argument("--wav", help="also the plain WAVE file, for listening")
    args = parser.parse_args()
    wav = wave_file(render())
    outputs = [(args.out, struct.pack("<i", len(wav)) + wav)]
    if args.wav:
        outputs.append((args.wav, wav))
    for name, content in outputs:
        # Written beside and renamed, so that an interrupted run leaves no half file for make.
        part = name + ".part"
        with open(part, "wb") as f:
            f.write(content)
        os.replace(part, name)
    return 0


if __name__ == "__main__":
    sys.exit(main())
