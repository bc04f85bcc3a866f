#!/usr/bin/env python3
"""Makes the demo's background pictures: 128 x 128 tiles that repeat without seams, written as
24-bit bottom-up Windows bitmaps, and one partly transparent PNG. Run from this folder; the output
is committed."""
import math
import random
import struct
import zlib

SIZE = 128


def write_bmp(name, pixel):
    row_bytes = SIZE * 3  # already a multiple of four
    image = bytearray()
    for y in reversed(range(SIZE)):  # bottom-up
        for x in range(SIZE):
            r, g, b = (max(0, min(255, int(c))) for c in pixel(x, y))
            image += bytes((b, g, r))
    header = struct.pack('<IiiHHIIiiII', 40, SIZE, SIZE, 1, 24, 0, len(image), 2835, 2835, 0, 0)
    file_header = struct.pack('<2sIHHI', b'BM', 14 + len(header) + len(image), 0, 0, 14 + len(header))
    assert len(image) == row_bytes * SIZE
    with open(name, 'wb') as out:
        out.write(file_header + header + image)


def write_png(name, pixel):
    """RGBA, 8 bits a channel, straight alpha, no filtering."""
    image = bytearray()
    for y in range(SIZE):
        image.append(0)  # the row's filter: none
        for x in range(SIZE):
            image += bytes(max(0, min(255, int(c))) for c in pixel(x, y))

    def chunk(kind, data):
        return struct.pack('>I', len(data)) + kind + data + struct.pack('>I', zlib.crc32(kind + data))
    header = struct.pack('>IIBBBBB', SIZE, SIZE, 8, 6, 0, 0, 0)  # 8 bits, RGBA
    with open(name, 'wb') as out:
        out.write(b'\x89PNG\r\n\x1a\n' + chunk(b'IHDR', header) +
                  chunk(b'IDAT', zlib.compress(bytes(image), 9)) + chunk(b'IEND', b''))


def periodic_noise(seed, cells):
    """Smooth noise on a cells x cells lattice that wraps around, sampled per pixel."""
    rnd = random.Random(seed)
    lattice = [[rnd.random() for _ in range(cells)] for _ in range(cells)]
    step = SIZE / cells

    def smooth(t):
        return t * t * (3 - 2 * t)

    def sample(x, y):
        gx, gy = x / step, y / step
        x0, y0 = int(gx) % cells, int(gy) % cells
        x1, y1 = (x0 + 1) % cells, (y0 + 1) % cells
        fx, fy = smooth(gx - int(gx)), smooth(gy - int(gy))
        top = lattice[y0][x0] * (1 - fx) + lattice[y0][x1] * fx
        bottom = lattice[y1][x0] * (1 - fx) + lattice[y1][x1] * fx
        return top * (1 - fy) + bottom * fy
    return sample


def dusk(x, y):
    # Deep blue to violet bands that swell gently across the tile.
    wave = math.sin(2 * math.pi * (y / SIZE + 0.08 * math.sin(2 * math.pi * x / SIZE)))
    cloud = periodic_noise(7, 8)(x, y)
    return (40 + 30 * wave + 25 * cloud, 20 + 10 * wave + 10 * cloud, 70 + 30 * wave + 30 * cloud)


_linen_noise = periodic_noise(11, 16)
_linen_grain = random.Random(3)
_linen_threads = [[_linen_grain.random() for _ in range(SIZE)] for _ in range(SIZE)]


def linen(x, y):
    # Light woven cloth: crossing threads with a little unevenness.
    weave = 6 * math.sin(2 * math.pi * x / 4) * math.sin(2 * math.pi * y / 4)
    base = 226 + weave + 14 * (_linen_noise(x, y) - 0.5) + 8 * (_linen_threads[y][x] - 0.5)
    return (base, base - 8, base - 24)


_forest_noise = periodic_noise(23, 8)
_forest_fine = periodic_noise(29, 32)


def forest(x, y):
    # Dark green leaves: two layers of noise, cut into soft diagonal streaks.
    streak = 0.5 + 0.5 * math.sin(2 * math.pi * (x + y) / 32)
    shade = 0.6 * _forest_noise(x, y) + 0.4 * _forest_fine(x, y)
    return (10 + 20 * shade, 40 + 60 * shade + 12 * streak, 20 + 25 * shade)


_glass_noise = periodic_noise(31, 8)


def glass(x, y):
    # Dark sea-green glass, nearly opaque, with rings and a cloudy sheen thin enough for the list's
    # own background to show through.
    d = math.hypot(x % 64 - 32, y % 64 - 32) / 32
    ring = max(0.0, math.cos(2 * math.pi * d * 1.5)) ** 6 if d < 1 else 0
    alpha = 235 - 110 * ring - 40 * _glass_noise(x, y)
    return (18 + 30 * ring, 62 + 40 * ring, 70 + 30 * ring, alpha)


if __name__ == '__main__':
    write_bmp('dusk.bmp', dusk)
    write_bmp('linen.bmp', linen)
    write_bmp('forest.bmp', forest)
    write_png('glass.png', glass)
