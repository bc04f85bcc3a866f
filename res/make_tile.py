#!/usr/bin/env python3
"""Writes background.bmp, the library's default tile: a 128 x 128, 8-bit, bottom-up Windows bitmap
with a 256-entry colour table, showing a dark, softly grained texture that repeats without seams.

The picture is a sum of a few periodic waves plus smoothed noise, all with a period of 128 pixels,
so the tile's edges meet when it is laid edge to edge. The palette runs from near black through
deep slate blue. Deterministic: the same file every run.
"""
import math
import struct
import sys

SIZE = 128


def noise_field(seed):
    state = seed
    values = []
    for _ in range(SIZE * SIZE):
        state = (state * 1103515245 + 12345) & 0x7FFFFFFF
        values.append((state >> 8) / float(1 << 23))
    return values


def smooth(field, passes):
    for _ in range(passes):
        out = [0.0] * (SIZE * SIZE)
        for y in range(SIZE):
            for x in range(SIZE):
                total = 0.0
                for dy in (-1, 0, 1):
                    for dx in (-1, 0, 1):
                        total += field[((y + dy) % SIZE) * SIZE + (x + dx) % SIZE]
                out[y * SIZE + x] = total / 9.0
        field = out
    return field


def main(path):
    grain = smooth(noise_field(20050), 3)
    low, high = min(grain), max(grain)
    fine = noise_field(77)
    indices = bytearray()
    # Bottom-up: the first stored row is the picture's bottom row.
    for y in reversed(range(SIZE)):
        for x in range(SIZE):
            wave = (math.sin(2 * math.pi * (x + 2 * y) / SIZE) +
                    math.sin(2 * math.pi * (3 * x - y) / SIZE) * 0.5) / 1.5
            g = (grain[y * SIZE + x] - low) / (high - low)
            v = 0.55 * g + 0.25 * (wave * 0.5 + 0.5) + 0.20 * fine[y * SIZE + x]
            indices.append(max(0, min(255, int(v * 255))))

    palette = bytearray()
    for i in range(256):
        t = i / 255.0
        r, g, b = int(8 + 34 * t), int(10 + 42 * t), int(18 + 70 * t)
        palette += bytes((b, g, r, 0))

    info = struct.pack('<IiiHHIIiiII', 40, SIZE, SIZE, 1, 8, 0, len(indices), 0, 0, 0, 0)
    dib = info + palette + indices
    header = struct.pack('<2sIHHI', b'BM', 14 + len(dib), 0, 0, 14 + len(info) + len(palette))
    with open(path, 'wb') as f:
        f.write(header + dib)


if __name__ == '__main__':
    main(sys.argv[1] if len(sys.argv) > 1 else 'background.bmp')
