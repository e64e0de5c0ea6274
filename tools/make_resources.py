#!/usr/bin/env python3
"""Draws the program icon "Kavrel" and synthesises the capture sound "WAVE1".

usage: make_resources.py OUTDIR   (writes OUTDIR/kavrel.ico and OUTDIR/wave1.wav)
"""
import math
import os
import struct
import sys

# 16-colour palette (the standard VGA colours), so the 4-bit image needs no quantising.
PALETTE = [
    (0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0), (0, 0, 128), (128, 0, 128),
    (0, 128, 128), (192, 192, 192), (128, 128, 128), (255, 0, 0), (0, 255, 0),
    (255, 255, 0), (0, 0, 255), (255, 0, 255), (0, 255, 255), (255, 255, 255),
]
BLACK, DGREY, LGREY, WHITE, NAVY, BLUE, RED, CYAN = 0, 8, 7, 15, 4, 12, 9, 14
CLEAR = None


def draw(size):
    """A monitor with a page coming out of it: the screen becomes paper."""
    s = size / 32.0
    px = [[CLEAR] * size for _ in range(size)]

    def rect(x0, y0, x1, y1, c):
        for y in range(int(y0 * s), int(math.ceil(y1 * s))):
            for x in range(int(x0 * s), int(math.ceil(x1 * s))):
                if 0 <= x < size and 0 <= y < size:
                    px[y][x] = c

    rect(1, 2, 25, 20, BLACK)      # monitor outline
    rect(2, 3, 24, 19, LGREY)      # bezel
    rect(4, 5, 22, 16, NAVY)       # screen
    rect(5, 6, 21, 8, BLUE)        # a window caption on the screen
    rect(5, 9, 13, 15, CYAN)
    rect(10, 20, 16, 23, DGREY)    # stand
    rect(6, 23, 20, 25, DGREY)
    rect(14, 11, 31, 31, BLACK)    # the page, with a shadowed outline
    rect(15, 12, 30, 30, WHITE)
    for i, y in enumerate((15, 18, 21, 24)):
        rect(17, y, 28 - 3 * (i % 2), y + 1, DGREY)
    rect(17, 26, 22, 28, RED)      # a stamp in the corner
    return px


def dib(px, bpp):
    size = len(px)
    rows = []
    for y in reversed(range(size)):
        row = px[y]
        if bpp == 32:
            data = b''.join(
                bytes((0, 0, 0, 0)) if c is CLEAR else
                bytes((PALETTE[c][2], PALETTE[c][1], PALETTE[c][0], 255)) for c in row)
        else:
            idx = [0 if c is CLEAR else c for c in row]
            data = bytes((idx[i] << 4) | idx[i + 1] for i in range(0, size, 2))
        rows.append(data + b'\0' * ((-len(data)) % 4))
    mask = []
    for y in reversed(range(size)):
        bits = 0
        for x in range(size):
            bits = (bits << 1) | (1 if px[y][x] is CLEAR else 0)
        data = bits.to_bytes(size // 8, 'big')
        mask.append(data + b'\0' * ((-len(data)) % 4))
    header = struct.pack('<IiiHHIIiiII', 40, size, size * 2, 1, bpp, 0,
                         len(b''.join(rows)) + len(b''.join(mask)), 0, 0,
                         16 if bpp == 4 else 0, 0)
    colours = b''.join(bytes((b, g, r, 0)) for r, g, b in PALETTE) if bpp == 4 else b''
    return header + colours + b''.join(rows) + b''.join(mask)


def icon():
    images = [(32, 4), (16, 4), (32, 32), (16, 32)]
    blobs = [dib(draw(size), bpp) for size, bpp in images]
    out = struct.pack('<HHH', 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for (size, bpp), blob in zip(images, blobs):
        out += struct.pack('<BBBBHHII', size, size, 16 if bpp == 4 else 0, 0, 1, bpp,
                           len(blob), offset)
        offset += len(blob)
    return out + b''.join(blobs)


RATE = 16000
DATA_BYTES = 10536  # 5,268 samples, about a third of a second


def wave():
    samples = DATA_BYTES // 2
    out = bytearray()
    for n in range(samples):
        t = n / RATE
        # A shutter: a short noisy click, then a bright two-tone chime that dies away.
        click = math.sin(n * 2.399) * math.sin(n * 0.731) * math.exp(-t * 400) * 0.6
        chime = (math.sin(2 * math.pi * 1318.5 * t) * 0.5 +
                 math.sin(2 * math.pi * 1975.5 * t) * 0.3) * math.exp(-t * 9)
        attack = min(1.0, t / 0.004)
        fade = min(1.0, (samples - n) / 160.0)
        v = (click + chime * attack) * fade
        out += struct.pack('<h', int(max(-1.0, min(1.0, v)) * 20000))
    assert len(out) == DATA_BYTES
    fmt = struct.pack('<HHIIHH', 1, 1, RATE, RATE * 2, 2, 16)
    body = b'WAVE' + b'fmt ' + struct.pack('<I', len(fmt)) + fmt + \
        b'data' + struct.pack('<I', len(out)) + bytes(out)
    return b'RIFF' + struct.pack('<I', len(body)) + body


def main():
    outdir = sys.argv[1]
    os.makedirs(outdir, exist_ok=True)
    with open(os.path.join(outdir, 'kavrel.ico'), 'wb') as f:
        f.write(icon())
    with open(os.path.join(outdir, 'wave1.wav'), 'wb') as f:
        f.write(wave())


if __name__ == '__main__':
    main()
