#!/usr/bin/env python3
"""Makes the hostile pictures that bench/hostile/measure.sh feeds to lumetta-cli.

    bench/hostile/make_corpus.py CLI OUTDIR

CLI is a built lumetta-cli: the well-formed pictures are written by the program itself (from the
test photograph), then cut short or damaged; the tiny files that declare 15000 x 15000 pixels are
made by hand. Only the standard library is needed.
"""
import os
import struct
import subprocess
import sys
import zlib

cli, out = sys.argv[1], sys.argv[2]
here = os.path.dirname(os.path.abspath(__file__))
photo = os.path.join(here, '..', '..', 'tests', 'data', 'rocket.jpg')
os.makedirs(out, exist_ok=True)


def path(name):
    return os.path.join(out, name)


def write(name, data):
    with open(path(name), 'wb') as f:
        f.write(data)


def made(ext):
    """The test photograph written by lumetta-cli in a format."""
    target = path('whole.' + ext)
    subprocess.run([cli, 'render', '--filter', 'CIColorInvert', photo, target], check=True)
    with open(target, 'rb') as f:
        return f.read()


def chunk(kind, data):
    return struct.pack('>I', len(data)) + kind + data + struct.pack('>I', zlib.crc32(kind + data) & 0xffffffff)


# Cut in half: BMP, GIF, JPEG-2000; JPEG with its end marker put back.
for ext in ('bmp', 'gif', 'jp2'):
    data = made(ext)
    write('half.' + ext, data[:len(data) // 2])
jpeg = made('jpeg')
write('half-eoi.jpeg', jpeg[:len(jpeg) // 2] + b'\xff\xd9')

# TIFF whose strips (the later half, or its only one) point past the end of the file.
tiff = bytearray(made('tiff'))
big = tiff[:2] == b'MM'
u16, u32 = ('>H', '>I') if big else ('<H', '<I')
directory = struct.unpack(u32, tiff[4:8])[0]
for e in range(struct.unpack(u16, tiff[directory:directory + 2])[0]):
    at = directory + 2 + 12 * e
    tag, kind, count, value = struct.unpack(u16 + u16[1:] + u32[1:] + u32[1:], tiff[at:at + 12])
    if tag == 273 and count == 1:  # one strip: its offset is in the entry itself
        struct.pack_into(u32, tiff, at + 8, len(tiff) + 1000000)
    elif tag == 273:
        for i in range(count // 2, count):
            if kind == 4:
                struct.pack_into(u32, tiff, value + 4 * i, len(tiff) + 1000000)
            else:
                struct.pack_into(u16, tiff, value + 2 * i, 65535)
write('missing-strips.tiff', bytes(tiff))

# Tiny files declaring 15000 x 15000 pixels.
W = H = 15000
write('tiny.png', b'\x89PNG\r\n\x1a\n' + chunk(b'IHDR', struct.pack('>IIBBBBB', W, H, 8, 2, 0, 0, 0))
      + chunk(b'IDAT', zlib.compress(b'\0' * 5000)) + chunk(b'IEND', b''))
write('tiny.gif', b'GIF89a' + struct.pack('<HHBBB', W, H, 0x80, 0, 0) + b'\0\0\0\xff\xff\xff' + b','
      + struct.pack('<HHHHB', 0, 0, W, H, 0) + b'\x02\x02\x4c\x01\x00;')
write('tiny.bmp', b'BM' + struct.pack('<IHHI', 54, 0, 0, 54) + struct.pack('<IiiHHIIiiII', 40, W, H, 1, 24, 0, 0, 2835, 2835, 0, 0))
write('tiny-runs.bmp', b'BM' + struct.pack('<IHHI', 54 + 1024 + 2, 0, 0, 54 + 1024)
      + struct.pack('<IiiHHIIiiII', 40, W, H, 1, 8, 1, 2, 2835, 2835, 256, 0) + b'\0' * 1024 + b'\x00\x01')
strip = zlib.compress(b'\0' * 6000)
entries = [(256, 4, W), (257, 4, H), (258, 3, 8), (259, 3, 8), (262, 3, 1), (273, 4, 8 + 2 + 12 * 9 + 4),
           (277, 3, 1), (278, 4, H), (279, 4, len(strip))]
directory = struct.pack('<H', len(entries)) + b''.join(
    struct.pack('<HHII', t, k, 1, v) if k == 4 else struct.pack('<HHIHH', t, k, 1, v, 0) for t, k, v in entries)
write('tiny.tiff', b'II*\0' + struct.pack('<I', 8) + directory + b'\0\0\0\0' + strip)
small = bytearray(jpeg)
frame = small.find(b'\xff\xc0')
struct.pack_into('>HH', small, frame + 5, H, W)
end = small.find(b'\xff\xda')
write('tiny.jpeg', bytes(small[:end + 400]) + b'\xff\xd9')
jp2 = bytearray(made('jp2'))
siz = jp2.find(b'\xff\x51')
struct.pack_into('>II', jp2, siz + 6, W, H)
struct.pack_into('>II', jp2, siz + 22, W, H)
header = jp2.find(b'ihdr')
struct.pack_into('>II', jp2, header + 4, H, W)
write('tiny.jp2', bytes(jp2[:4000]))

for name in ('whole.bmp', 'whole.gif', 'whole.jp2', 'whole.jpeg', 'whole.tiff'):
    os.remove(path(name))
