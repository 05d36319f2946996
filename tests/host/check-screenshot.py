#!/usr/bin/env python3
"""Checks a PNG screenshot: its size, and that it is not blank (it holds more
than one colour, and the non-background part is not negligible).
usage: check-screenshot.py FILE WIDTH HEIGHT"""
import collections
import struct
import sys
import zlib


def pixels(path):
    data = open(path, "rb").read()
    if data[:8] != b"\x89PNG\r\n\x1a\n":
        raise SystemExit(f"{path}: not a PNG file")
    pos, idat, header = 8, b"", None
    while pos < len(data):
        length, kind = struct.unpack(">I4s", data[pos:pos + 8])
        body = data[pos + 8:pos + 8 + length]
        if kind == b"IHDR":
            header = struct.unpack(">IIBBBBB", body)
        elif kind == b"IDAT":
            idat += body
        pos += 12 + length
    width, height, depth, colour = header[:4]
    if depth != 8 or colour not in (2, 6):
        raise SystemExit(f"{path}: unexpected PNG format (depth {depth}, colour type {colour})")
    step = 3 if colour == 2 else 4
    raw, stride = zlib.decompress(idat), width * step
    rows, previous, at = [], bytearray(stride), 0
    for _ in range(height):
        kind, line = raw[at], bytearray(raw[at + 1:at + 1 + stride])
        at += 1 + stride
        for i in range(stride):
            left = line[i - step] if i >= step else 0
            up = previous[i]
            corner = previous[i - step] if i >= step else 0
            if kind == 1:
                line[i] = (line[i] + left) & 255
            elif kind == 2:
                line[i] = (line[i] + up) & 255
            elif kind == 3:
                line[i] = (line[i] + (left + up) // 2) & 255
            elif kind == 4:
                p = left + up - corner
                pa, pb, pc = abs(p - left), abs(p - up), abs(p - corner)
                line[i] = (line[i] + (left if pa <= pb and pa <= pc else up if pb <= pc else corner)) & 255
        rows.append(bytes(line))
        previous = line
    return width, height, [row[i:i + 3] for row in rows for i in range(0, stride, step)]


def main():
    path, want_width, want_height = sys.argv[1], int(sys.argv[2]), int(sys.argv[3])
    width, height, colours = pixels(path)
    if (width, height) != (want_width, want_height):
        raise SystemExit(f"{path}: {width}x{height}, expected {want_width}x{want_height}")
    counts = collections.Counter(colours)
    background, plain = counts.most_common(1)[0]
    drawn = len(colours) - plain
    if drawn < len(colours) // 100:
        raise SystemExit(f"{path}: blank ({drawn} of {len(colours)} pixels differ from the background)")
    print(f"{path}: {width}x{height}, {drawn} drawn pixels")


main()
