#!/usr/bin/env python3
"""Writes resources/images/imaging/16x16c.tif: the 16 x 16 marker shown beside filters that have
canvas handles (a white ring with cross hairs and a dark outline, like the handles themselves).
Plain Python: an uncompressed RGBA TIFF, so the picture is reproducible byte for byte."""
import math
import os
import struct

SIZE = 16


def pixel(x, y):
    cx = cy = (SIZE - 1) / 2.0
    d = math.hypot(x - cx, y - cy)
    ring = abs(d - 5.0) < 0.55
    cross = (abs(x - cx) < 0.6 or abs(y - cy) < 0.6) and d < 7.5
    outline = abs(d - 5.0) < 1.4 or ((abs(x - cx) < 1.4 or abs(y - cy) < 1.4) and d < 7.9)
    if ring or cross:
        return (255, 255, 255, 255)
    if outline:
        return (0, 0, 0, 200)
    return (0, 0, 0, 0)


def tiff(width, height, rgba):
    # Header, then the pixel strip, then one IFD.
    data = bytes(c for p in rgba for c in p)
    header = b"II" + struct.pack("<HI", 42, 8 + len(data))
    entries = [
        (256, 3, 1, width),            # ImageWidth
        (257, 3, 1, height),           # ImageLength
        (258, 3, 4, 0),                # BitsPerSample (offset filled below)
        (259, 3, 1, 1),                # Compression: none
        (262, 3, 1, 2),                # Photometric: RGB
        (273, 4, 1, 8),                # StripOffsets
        (277, 3, 1, 4),                # SamplesPerPixel
        (278, 3, 1, height),           # RowsPerStrip
        (279, 4, 1, len(data)),        # StripByteCounts
        (284, 3, 1, 1),                # PlanarConfiguration: chunky
        (338, 3, 1, 2),                # ExtraSamples: unassociated alpha
    ]
    ifd_offset = 8 + len(data)
    extra_offset = ifd_offset + 2 + 12 * len(entries) + 4
    ifd = struct.pack("<H", len(entries))
    for tag, typ, count, value in entries:
        if tag == 258:
            value = extra_offset
            ifd += struct.pack("<HHII", tag, typ, count, value)
        elif typ == 3 and count == 1:
            ifd += struct.pack("<HHIHH", tag, typ, count, value, 0)
        else:
            ifd += struct.pack("<HHII", tag, typ, count, value)
    ifd += struct.pack("<I", 0)
    return header + data + ifd + struct.pack("<4H", 8, 8, 8, 8)


def main():
    root = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
    out = os.path.join(root, "resources", "images", "imaging", "16x16c.tif")
    os.makedirs(os.path.dirname(out), exist_ok=True)
    pixels = [pixel(x, y) for y in range(SIZE) for x in range(SIZE)]
    with open(out, "wb") as f:
        f.write(tiff(SIZE, SIZE, pixels))
    print(out)


if __name__ == "__main__":
    main()
