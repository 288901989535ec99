#!/usr/bin/env python3
"""Generates the default input images of the filters that need a special picture:
smoothtexture (a soft bumpy texture), lightball (a lit sphere used as a shading map),
restrictedshine (a narrow specular shine on black), colormap (a colour ramp) and mask (a soft
cloudy mask). Writes uncompressed RGB TIFF files with the standard library only, so the output is
the same on every machine.

Usage: make_filter_images.py [output folder]   (default: resources/images/filters)
"""
import math
import os
import random
import struct
import sys


def write_tiff(path, width, height, pixels):
    """pixels: bytes of width*height*3 (RGB, top row first)."""
    entries = []
    data_offset = 8
    strip = bytes(pixels)
    bps_offset = data_offset + len(strip)
    extra = struct.pack('<HHH', 8, 8, 8)
    ifd_offset = bps_offset + len(extra)
    if ifd_offset % 2:
        ifd_offset += 1
    tags = [
        (256, 3, 1, width),           # ImageWidth
        (257, 3, 1, height),          # ImageLength
        (258, 3, 3, bps_offset),      # BitsPerSample -> 8,8,8
        (259, 3, 1, 1),               # Compression: none
        (262, 3, 1, 2),               # Photometric: RGB
        (273, 4, 1, data_offset),     # StripOffsets
        (277, 3, 1, 3),               # SamplesPerPixel
        (278, 3, 1, height),          # RowsPerStrip
        (279, 4, 1, len(strip)),      # StripByteCounts
        (284, 3, 1, 1),               # PlanarConfiguration: chunky
    ]
    for tag, typ, count, value in tags:
        if typ == 3 and count == 1:
            entries.append(struct.pack('<HHIHH', tag, typ, count, value, 0))
        else:
            entries.append(struct.pack('<HHII', tag, typ, count, value))
    out = bytearray(b'II*\x00' + struct.pack('<I', ifd_offset))
    out += strip + extra
    while len(out) < ifd_offset:
        out += b'\x00'
    out += struct.pack('<H', len(entries)) + b''.join(entries) + struct.pack('<I', 0)
    with open(path, 'wb') as f:
        f.write(out)


def clamp(v):
    return 0 if v < 0 else 255 if v > 255 else int(v + 0.5)


class ValueNoise:
    """Smooth value noise on a lattice, summed over octaves, that tiles with a period of `tile`
    pixels: each octave's lattice wraps after exactly the number of its cells that fit in one
    tile, so the last column of a tile continues into the first of the next without a seam."""

    def __init__(self, seed, size=256):
        rng = random.Random(seed)
        self.size = size
        self.table = [rng.random() for _ in range(size * size)]

    def lattice(self, x, y, cells, octave):
        # Each octave reads its own part of the table, so octaves do not repeat each other.
        n = self.size
        return self.table[((y % cells) + 61 * octave) % n * n + ((x % cells) + 113 * octave) % n]

    def smooth(self, x, y, cells, octave):
        x0, y0 = math.floor(x), math.floor(y)
        fx, fy = x - x0, y - y0
        sx = fx * fx * (3 - 2 * fx)
        sy = fy * fy * (3 - 2 * fy)
        a = self.lattice(x0, y0, cells, octave)
        b = self.lattice(x0 + 1, y0, cells, octave)
        c = self.lattice(x0, y0 + 1, cells, octave)
        d = self.lattice(x0 + 1, y0 + 1, cells, octave)
        return (a + (b - a) * sx) * (1 - sy) + (c + (d - c) * sx) * sy

    def fractal(self, x, y, octaves, base_period, tile):
        total, amp, norm = 0.0, 1.0, 0.0
        period = base_period
        for octave in range(octaves):
            cells = max(1, round(tile / period))
            total += amp * self.smooth(x / period, y / period, cells, octave)
            norm += amp
            amp *= 0.5
            period /= 2.0
        return total / norm


def smoothtexture(size=256):
    # Tiled over pictures larger than itself (glass distortion), so it must be seamless.
    noise = ValueNoise(11)
    px = bytearray()
    for y in range(size):
        for x in range(size):
            v = noise.fractal(x, y, 3, 64.0, size)
            g = clamp(40 + 200 * v)
            px += bytes((g, g, g))
    return size, size, px


def lightball(size=256):
    # A glossy sphere lit from the upper left, on black: a shading map that gives every surface
    # normal its colour.
    light = (-0.45, 0.55, 0.70)
    ln = math.sqrt(sum(c * c for c in light))
    light = tuple(c / ln for c in light)
    half = (light[0], light[1], light[2] + 1.0)
    hn = math.sqrt(sum(c * c for c in half))
    half = tuple(c / hn for c in half)
    base = (0.55, 0.62, 0.80)
    px = bytearray()
    r0 = size / 2.0 - 1
    for y in range(size):
        for x in range(size):
            nx = (x + 0.5 - size / 2.0) / r0
            ny = (size / 2.0 - y - 0.5) / r0
            d2 = nx * nx + ny * ny
            if d2 > 1.0:
                px += b'\x00\x00\x00'
                continue
            nz = math.sqrt(1.0 - d2)
            diffuse = max(0.0, nx * light[0] + ny * light[1] + nz * light[2])
            specular = max(0.0, nx * half[0] + ny * half[1] + nz * half[2]) ** 60
            rim = 0.15 * (1 - nz) ** 2
            # Soften the silhouette over about one pixel.
            edge = min(1.0, (1.0 - math.sqrt(d2)) * r0)
            rgb = [(0.08 + 0.85 * diffuse) * c + 0.95 * specular + rim for c in base]
            px += bytes(clamp(255 * min(1.0, v) * edge) for v in rgb)
    return size, size, px


def restrictedshine(size=256):
    # A thin, bright diagonal shine fading into black: light caught only in a narrow band, as on the
    # back of a curling page.
    px = bytearray()
    for y in range(size):
        for x in range(size):
            u = (x + 0.5) / size
            v = 1.0 - (y + 0.5) / size
            d = (u - v) / math.sqrt(2.0)              # distance from the diagonal
            band = math.exp(-(d / 0.06) ** 2)
            core = math.exp(-(d / 0.012) ** 2)
            along = math.sin(math.pi * min(1.0, max(0.0, (u + v) / 2.0))) ** 1.5
            i = (0.55 * band + 0.6 * core) * along
            px += bytes((clamp(255 * min(1.0, i * 1.0)), clamp(255 * min(1.0, i * 0.97)),
                         clamp(255 * min(1.0, i * 0.90))))
    return size, size, px


def colormap(width=256, height=16):
    # A ramp from deep blue through violet, red and orange to pale yellow.
    stops = [(0.0, (8, 12, 60)), (0.25, (80, 20, 140)), (0.5, (200, 40, 80)),
             (0.75, (250, 140, 30)), (1.0, (255, 245, 190))]
    row = bytearray()
    for x in range(width):
        t = x / (width - 1)
        for i in range(len(stops) - 1):
            t0, c0 = stops[i]
            t1, c1 = stops[i + 1]
            if t0 <= t <= t1:
                f = (t - t0) / (t1 - t0)
                f = f * f * (3 - 2 * f)
                row += bytes(clamp(a + (b - a) * f) for a, b in zip(c0, c1))
                break
    return width, height, bytes(row) * height


def mask(size=256):
    # Soft clouds of white on black: the order in which a picture dissolves. Seamless too, so
    # that it can be repeated over a large picture.
    noise = ValueNoise(29)
    px = bytearray()
    for y in range(size):
        for x in range(size):
            v = noise.fractal(x, y, 5, 64.0, size)
            # Stretch the contrast around the middle so that clear shapes appear.
            t = max(0.0, min(1.0, (v - 0.35) / 0.3))
            g = clamp(255 * t * t * (3 - 2 * t))
            px += bytes((g, g, g))
    return size, size, px


def main():
    root = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
    out = sys.argv[1] if len(sys.argv) > 1 else os.path.join(root, 'resources', 'images', 'filters')
    os.makedirs(out, exist_ok=True)
    for name, make in (('smoothtexture', smoothtexture), ('lightball', lightball),
                       ('restrictedshine', restrictedshine), ('colormap', colormap), ('mask', mask)):
        w, h, px = make()
        write_tiff(os.path.join(out, name + '.tiff'), w, h, px)
        print(name, w, h)


if __name__ == '__main__':
    main()
