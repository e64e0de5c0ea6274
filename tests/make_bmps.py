#!/usr/bin/env python3
"""Writes BMP files the way other programs write them, for the system tests to drop on the
program: run-length coded (RLE4, RLE8), 16-bit with bit fields, the 12-byte core header,
version 4 and 5 headers (bit fields with and without alpha, a colour table after the header),
top-down rows, widths that are not a multiple of 4, and damaged files. Files named MASK-* have
bit-field masks the Windows 95 family does not take.

usage: make_bmps.py FOLDER

For each good file NAME.bmp it writes NAME.rgb: "WIDTH HEIGHT" on the first line, then one
line per pixel row from the top, the pixels as RRGGBB in hex, as the file means them.
Damaged files are named BAD-*.bmp and have no .rgb.
"""
import os
import struct
import sys


def colour(x, y, seed):
    return ((x * 40 + seed * 50) % 256, (y * 60 + seed * 20) % 256, ((x ^ y) * 30 + seed) % 256)


def palette_image(w, h, n, seed):
    pal = [colour(i, i * 3, seed) for i in range(n)]
    idx = [[(x * 3 + y * 5 + seed) % n for x in range(w)] for y in range(h)]
    return pal, idx


def file_header(total, offset):
    return b'BM' + struct.pack('<IHHI', total, 0, 0, offset)


def info_header(size, w, h, bits, compression, image_size=0, used=0, extra=b''):
    head = struct.pack('<IiiHHIIiiII', size, w, h, 1, bits, compression, image_size, 2835, 2835,
                       used, 0)
    return head + extra + b'\0' * (size - 40 - len(extra))


def rows_bottom_up(rows, top_down):
    return rows if top_down else rows[::-1]


def pad(row):
    return row + b'\0' * (-len(row) % 4)


def pack_indices(idx_row, bits):
    out, acc, n = bytearray(), 0, 0
    for v in idx_row:
        acc = (acc << bits) | v
        n += bits
        if n == 8:
            out.append(acc)
            acc, n = 0, 0
    if n:
        out.append(acc << (8 - n))
    return bytes(out)


def bmp(header, table, pixels):
    offset = 14 + len(header) + len(table)
    return file_header(offset + len(pixels), offset) + header + table + pixels


def quad_table(pal):
    return b''.join(bytes((b, g, r, 0)) for r, g, b in pal)


def indexed(w, h, bits, seed):
    pal, idx = palette_image(w, h, 1 << bits if bits < 8 else 200, seed)
    pixels = b''.join(pad(pack_indices(r, bits)) for r in rows_bottom_up(idx, False))
    return bmp(info_header(40, w, h, bits, 0, len(pixels), len(pal)), quad_table(pal), pixels), \
        [[pal[v] for v in r] for r in idx]


def rgb24(w, h, seed, header_size=40, top_down=False):
    rows = [[colour(x, y, seed) for x in range(w)] for y in range(h)]
    data = b''.join(pad(b''.join(bytes((b, g, r)) for r, g, b in row))
                    for row in rows_bottom_up(rows, top_down))
    extra = b''
    if header_size >= 108:
        # Masks (unused for BI_RGB), colour space 'sRGB', endpoints and gamma left zero.
        extra = struct.pack('<IIII', 0, 0, 0, 0) + b'BGRs'
    header = info_header(header_size, w, -h if top_down else h, 24, 0, len(data), 0, extra)
    return bmp(header, b'', data), rows


def bitfields32_v5(w, h, seed):
    rows = [[colour(x, y, seed) for x in range(w)] for y in range(h)]
    data = b''.join(b''.join(struct.pack('<I', (r << 16) | (g << 8) | b) for r, g, b in row)
                    for row in rows[::-1])
    extra = struct.pack('<IIII', 0xFF0000, 0xFF00, 0xFF, 0) + b'BGRs'
    return bmp(info_header(124, w, h, 32, 3, len(data), 0, extra), b'', data), rows


def bitfields565(w, h, seed):
    rows = [[colour(x, y, seed) for x in range(w)] for y in range(h)]
    words = [[((r >> 3) << 11) | ((g >> 2) << 5) | (b >> 3) for r, g, b in row] for row in rows]
    data = b''.join(pad(b''.join(struct.pack('<H', v) for v in row)) for row in words[::-1])
    masks = struct.pack('<III', 0xF800, 0x07E0, 0x001F)
    # What the words mean, each channel's bits scaled to 0..255.
    meant = [[((v >> 11) * 255 // 31, ((v >> 5) & 63) * 255 // 63, (v & 31) * 255 // 31)
              for v in row] for row in words]
    return bmp(info_header(40, w, h, 16, 3, len(data)), masks, data), meant


def channel(v, mask):
    """The 8-bit value of the field `mask` of pixel word `v`, its bits scaled to 0..255."""
    shift = (mask & -mask).bit_length() - 1
    top = mask >> shift
    return ((v & mask) >> shift) * 255 // top


def word(r, g, b, masks):
    """A pixel word holding r, g, b (0..255) in the fields of `masks`, each cut to its bits."""
    v = 0
    for c, mask in zip((r, g, b), masks):
        shift = (mask & -mask).bit_length() - 1
        top = mask >> shift
        v |= (c * top // 255) << shift
    return v


def bitfields_headed(w, h, seed, header_size, bits, masks, alpha=0):
    """Bit fields with `masks` (red, green, blue) in a version 4 or 5 header, an alpha mask
    beside them and every alpha bit set."""
    rows = [[colour(x, y, seed) for x in range(w)] for y in range(h)]
    words = [[word(r, g, b, masks) | alpha for r, g, b in row] for row in rows]
    fmt = '<H' if bits == 16 else '<I'
    data = b''.join(pad(b''.join(struct.pack(fmt, v) for v in row)) for row in words[::-1])
    extra = struct.pack('<IIII', *masks, alpha) + b'BGRs'
    meant = [[tuple(channel(v, m) for m in masks) for v in row] for row in words]
    return bmp(info_header(header_size, w, h, bits, 3, len(data), 0, extra), b'', data), meant


def palette_v5(w, h, seed):
    """8 bits with a colour table after a version 5 header, whose unused masks hold junk."""
    pal, idx = palette_image(w, h, 20, seed)
    pixels = b''.join(pad(bytes(r)) for r in idx[::-1])
    extra = struct.pack('<IIII', 0x11111111, 0x22222222, 0x33333333, 0x44444444) + b'BGRs'
    header = info_header(124, w, h, 8, 0, len(pixels), len(pal), extra)
    return bmp(header, quad_table(pal), pixels), [[pal[v] for v in r] for r in idx]


def core8(w, h, seed):
    pal, idx = palette_image(w, h, 256, seed)
    table = b''.join(bytes((b, g, r)) for r, g, b in pal)
    pixels = b''.join(pad(bytes(r)) for r in idx[::-1])
    header = struct.pack('<IHHHH', 12, w, h, 1, 8)
    return bmp(header, table, pixels), [[pal[v] for v in r] for r in idx]


def rle8(w, h, seed):
    pal, idx = palette_image(w, h, 16, seed)
    for x in range(w):          # a run to code as a run
        idx[1][x] = 3
    out = bytearray()
    for row in idx[::-1]:
        x = 0
        while x < w:
            run = 1
            while x + run < w and row[x + run] == row[x] and run < 255:
                run += 1
            if run >= 2:
                out += bytes((run, row[x]))
                x += run
                continue
            # Absolute mode for what does not repeat: at least 3 pixels, padded to a word.
            n = min(w - x, 255)
            if n >= 3:
                out += bytes((0, n)) + bytes(row[x:x + n]) + (b'\0' if n % 2 else b'')
            else:
                out += b''.join(bytes((1, v)) for v in row[x:x + n])
            x += n
        out += b'\0\0'
    out += b'\0\1'
    return bmp(info_header(40, w, h, 8, 1, len(out), len(pal)), quad_table(pal), bytes(out)), \
        [[pal[v] for v in r] for r in idx]


def rle4(w, h, seed):
    pal, idx = palette_image(w, h, 16, seed)
    out = bytearray()
    for row in idx[::-1]:
        x = 0
        # Runs of two alternating colours, as RLE4 codes them, then the rest in absolute mode.
        n = min(4, w)
        if n == 4 and row[0] == row[2] and row[1] == row[3]:
            out += bytes((4, (row[0] << 4) | row[1]))
            x = 4
        rest = row[x:]
        while rest:
            part = rest[:16]
            rest = rest[16:]
            if len(part) >= 3:
                data = pack_indices(part, 4)
                out += bytes((0, len(part))) + data + (b'\0' if len(data) % 2 else b'')
            else:
                out += b''.join(bytes((1, v << 4)) for v in part)
        out += b'\0\0'
    out += b'\0\1'
    return bmp(info_header(40, w, h, 4, 2, len(out), 16), quad_table(pal), bytes(out)), \
        [[pal[v] for v in r] for r in idx]


def write(folder, name, made):
    data, rows = made
    with open(os.path.join(folder, name + '.bmp'), 'wb') as f:
        f.write(data)
    with open(os.path.join(folder, name + '.rgb'), 'w') as f:
        f.write(f'{len(rows[0])} {len(rows)}\n')
        for row in rows:
            f.write(' '.join('%02X%02X%02X' % p for p in row) + '\n')


def main():
    folder = sys.argv[1]
    good = [
        ('RLE8', rle8(13, 7, 1)),
        ('RLE4', rle4(11, 5, 2)),
        ('BF565', bitfields565(9, 6, 3)),
        ('CORE8', core8(10, 4, 4)),
        ('V4', rgb24(7, 3, 5, header_size=108)),
        ('V5', bitfields32_v5(6, 5, 6)),
        ('TOPDOWN', rgb24(5, 3, 7, top_down=True)),
        ('ODD24', rgb24(3, 4, 8)),
        ('ODD8', indexed(5, 3, 8, 9)),
        ('ODD4', indexed(5, 2, 4, 10)),
        ('ODD1', indexed(9, 3, 1, 11)),
        ('V4BF565', bitfields_headed(7, 4, 13, 108, 16, (0xF800, 0x07E0, 0x001F))),
        ('V5A1555', bitfields_headed(5, 3, 14, 124, 16, (0x7C00, 0x03E0, 0x001F), 0x8000)),
        ('V5PAL8', palette_v5(6, 4, 15)),
        # Masks the Windows 95 family does not take: refused there, shown elsewhere.
        ('MASK-V5-444', bitfields_headed(6, 3, 16, 124, 16, (0x0F00, 0x00F0, 0x000F))),
        ('MASK-V4-BGR', bitfields_headed(4, 3, 17, 108, 32, (0xFF, 0xFF00, 0xFF0000))),
    ]
    for name, made in good:
        write(folder, name, made)
    whole = rgb24(20, 20, 12)[0]
    damaged = {
        'BAD-TRUNCATED': whole[:len(whole) // 2],
        'BAD-OFFSET': whole[:10] + struct.pack('<I', len(whole) + 100) + whole[14:],
        'BAD-PALETTE': file_header(14 + 40 + 40, 14 + 40 + 1024 * 1024) +
        info_header(40, 4, 4, 8, 0, 16, 1024 * 1024) + b'\x11' * 40,
    }
    for name, data in damaged.items():
        with open(os.path.join(folder, name + '.bmp'), 'wb') as f:
            f.write(data)
    print(' '.join(name for name, _ in good))


if __name__ == '__main__':
    main()
