#!/usr/bin/env python3
"""Draws the three tile images (secure.png, atrisk.png, neutral.png) into the
folder of this script. Run by hand after changing a drawing; the PNG files are
committed. Shapes are sampled 4x4 per pixel for smooth edges; the PNG writer
needs only zlib.

secure:  green shield with a white check mark
atrisk:  red circle with a white exclamation mark
neutral: grey circle with a white pause bar pair (waiting, no action needed)
"""

import math
import os
import struct
import zlib

SIZE = 96
SAMPLES = 4


def write_png(path, pixels):
    raw = b"".join(b"\x00" + bytes(c for px in row for c in px) for row in pixels)

    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body))

    header = struct.pack(">IIBBBBB", SIZE, SIZE, 8, 6, 0, 0, 0)  # 8-bit RGBA
    with open(path, "wb") as f:
        f.write(b"\x89PNG\r\n\x1a\n")
        f.write(chunk(b"IHDR", header))
        f.write(chunk(b"IDAT", zlib.compress(raw, 9)))
        f.write(chunk(b"IEND", b""))


def seg_dist(px, py, ax, ay, bx, by):
    dx, dy = bx - ax, by - ay
    t = max(0.0, min(1.0, ((px - ax) * dx + (py - ay) * dy) / (dx * dx + dy * dy)))
    return math.hypot(px - (ax + t * dx), py - (ay + t * dy))


def in_circle(x, y):
    return math.hypot(x - 0.5, y - 0.5) <= 0.46


def in_shield(x, y):
    # Flat top with rounded shoulders, straight sides, curved point at the bottom.
    if y < 0.08 or y > 0.94:
        return False
    half = 0.38
    if y < 0.18:
        # Shoulders: the top edge dips slightly towards the middle.
        top = 0.08 + 0.06 * (1 - (abs(x - 0.5) / half) ** 2)
        return abs(x - 0.5) <= half and y >= top
    if y < 0.55:
        return abs(x - 0.5) <= half
    t = (y - 0.55) / (0.94 - 0.55)
    return abs(x - 0.5) <= half * math.cos(t * math.pi / 2)


def check_mark(x, y):
    w = 0.055
    return (seg_dist(x, y, 0.30, 0.50, 0.44, 0.64) <= w or
            seg_dist(x, y, 0.44, 0.64, 0.70, 0.34) <= w)


def exclamation(x, y):
    return (seg_dist(x, y, 0.5, 0.24, 0.5, 0.58) <= 0.06 or
            math.hypot(x - 0.5, y - 0.74) <= 0.065)


def pause_bars(x, y):
    return (seg_dist(x, y, 0.41, 0.33, 0.41, 0.67) <= 0.05 or
            seg_dist(x, y, 0.59, 0.33, 0.59, 0.67) <= 0.05)


def render(shape, mark, colour):
    rows = []
    white = (255, 255, 255)
    for py in range(SIZE):
        row = []
        for px in range(SIZE):
            cover = 0
            acc = [0.0, 0.0, 0.0]
            for sy in range(SAMPLES):
                for sx in range(SAMPLES):
                    x = (px + (sx + 0.5) / SAMPLES) / SIZE
                    y = (py + (sy + 0.5) / SAMPLES) / SIZE
                    if shape(x, y):
                        cover += 1
                        c = white if mark(x, y) else colour
                        for i in range(3):
                            acc[i] += c[i]
            n = SAMPLES * SAMPLES
            if cover == 0:
                row.append((0, 0, 0, 0))
            else:
                row.append(tuple(round(a / cover) for a in acc) + (round(255 * cover / n),))
        rows.append(row)
    return rows


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    write_png(os.path.join(here, "secure.png"), render(in_shield, check_mark, (22, 140, 64)))
    write_png(os.path.join(here, "atrisk.png"), render(in_circle, exclamation, (200, 30, 40)))
    write_png(os.path.join(here, "neutral.png"), render(in_circle, pause_bars, (110, 116, 124)))


if __name__ == "__main__":
    main()
