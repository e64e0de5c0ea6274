#!/usr/bin/env python3
"""Checks a printed PDF the way a person would look at it, from expectations a test wrote.

usage: check_pdf.py FILE.pdf FILE.pdfexpect   (prints one line per failed check; exit 1 if any)

The page is rendered with pdftoppm at 300 dpi, the printer's resolution, so PDF pixels are
printer pixels. Expectation lines (coordinates in pixels from the page's top-left corner):
  pages N                  the document has N pages
  landscape | portrait     the page's orientation
  colour X Y R G B         the pixel is this colour, within 40 per channel
  dark X Y RADIUS          some pixel within the square around X,Y is darker than 110
  light X Y RADIUS         every pixel within the square around X,Y is lighter than 200
  ink X0 Y0 X1 Y1          some pixel of the rectangle is darker than 110 (text, lines)
  blank X0 Y0 X1 Y1        no pixel of the rectangle is darker than 110
  crisp                    render without smoothing, so one-pixel lines and edges stay where
                           they are drawn (anywhere in the file; applies to the whole page)
  inkbox R G B X0 Y0 X1 Y1 W H
                           the pixels of this colour (within 20 per channel) all lie inside the
                           rectangle and span at least W by H pixels (a text in its own colour)

Texts are checked by their ink: under code page 932 Wine embeds its fonts without a Unicode
map, so pdftotext cannot read them back.
"""
import re
import subprocess
import sys

DPI = 300


def render(pdf, crisp):
    smoothing = ['-aa', 'no', '-aaVector', 'no'] if crisp else []
    ppm = subprocess.run(['pdftoppm', '-r', str(DPI), '-f', '1', '-l', '1'] + smoothing + [pdf],
                         check=True, capture_output=True).stdout
    # P6 header: magic, width, height, maxval, each followed by whitespace.
    fields, pos = [], 0
    while len(fields) < 4:
        while ppm[pos:pos + 1].isspace():
            pos += 1
        start = pos
        while not ppm[pos:pos + 1].isspace():
            pos += 1
        fields.append(ppm[start:pos])
    width, height = int(fields[1]), int(fields[2])
    return width, height, ppm[pos + 1:]


def main():
    pdf, expect = sys.argv[1], sys.argv[2]
    lines = open(expect, encoding='utf-8').read().splitlines()
    width, height, pixels = render(pdf, any(l.split() == ['crisp'] for l in lines))

    def px(x, y):
        if not (0 <= x < width and 0 <= y < height):
            return None
        i = (y * width + x) * 3
        return tuple(pixels[i:i + 3])

    def square(x, y, r):
        return [p for yy in range(y - r, y + r + 1) for xx in range(x - r, x + r + 1)
                if (p := px(xx, yy)) is not None]

    info = subprocess.run(['pdfinfo', pdf], check=True, capture_output=True).stdout.decode()
    page_count = int(next(l.split()[1] for l in info.splitlines() if l.startswith('Pages:')))
    def any_ink(x0, y0, x1, y1):
        for y in range(max(0, y0), min(height, y1 + 1)):
            row = pixels[y * width * 3:(y + 1) * width * 3]
            for x in range(max(0, x0), min(width, x1 + 1)):
                if max(row[3 * x:3 * x + 3]) < 110:
                    return (x, y)
        return None

    def ink_box(colour):
        # One pass of the regular-expression engine over the whole page, every byte offset
        # tried; only offsets at a pixel's start count.
        cls = b''.join(b'[\\x%02x-\\x%02x]' % (max(0, c - 20), min(255, c + 20)) for c in colour)
        box = None
        for m in re.finditer(b'(?=' + cls + b')', pixels):
            at = m.start()
            if at % 3:
                continue
            x, y = (at // 3) % width, (at // 3) // width
            box = (x, y, x, y) if box is None else (
                min(box[0], x), min(box[1], y), max(box[2], x), max(box[3], y))
        return box

    failed = 0
    for line in lines:
        parts = line.split()
        if not parts:
            continue
        kind, args = parts[0], parts[1:]
        ok, got = True, ''
        if kind == 'pages':
            ok, got = page_count == int(args[0]), page_count
        elif kind in ('landscape', 'portrait'):
            ok, got = (width > height) == (kind == 'landscape'), f'{width}x{height}'
        elif kind == 'colour':
            x, y, r, g, b = map(int, args)
            p = px(x, y)
            ok = p is not None and all(abs(a - e) <= 40 for a, e in zip(p, (r, g, b)))
            got = p
        elif kind == 'dark':
            x, y, r = map(int, args)
            ok = any(max(p) < 110 for p in square(x, y, r))
        elif kind == 'light':
            x, y, r = map(int, args)
            ok = all(min(p) > 200 for p in square(x, y, r))
        elif kind in ('ink', 'blank'):
            found = any_ink(*map(int, args))
            ok, got = (found is not None) == (kind == 'ink'), found
        elif kind == 'inkbox':
            r, g, b, x0, y0, x1, y1, w, h = map(int, args)
            box = ink_box((r, g, b))
            ok = (box is not None and box[0] >= x0 and box[1] >= y0 and box[2] <= x1 and
                  box[3] <= y1 and box[2] - box[0] + 1 >= w and box[3] - box[1] + 1 >= h)
            got = box
        else:
            continue
        if not ok:
            failed += 1
            print(f'PDF check: {pdf.rsplit("/", 1)[-1]}: {line.strip()}: got {got}')
    return 1 if failed else 0


if __name__ == '__main__':
    sys.exit(main())
