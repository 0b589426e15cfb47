#!/usr/bin/env python3
"""Draws the runner's icon, runner/zorvat.ico: a white "Z" on a teal
rounded square, as four images (16, 32 and 48 pixels as 32-bit bitmaps, 256
pixels as PNG), the layout the resource compiler turns into icon resources 1
to 4 of the group "MAINICON".

    tools/make_icon.py [OUTPUT]
"""
import struct
import sys
import zlib

SIZES = (16, 32, 48, 256)
BACKGROUND = (0x1F, 0x7A, 0x8C)
LETTER = (0xFF, 0xFF, 0xFF)


def coverage(size, x, y):
    """How much of pixel (x, y) the shape covers: 0 outside, 1 background,
    2 letter. Sampled at the pixel centre in unit coordinates."""
    u = (x + 0.5) / size
    v = (y + 0.5) / size
    radius = 0.18
    # Rounded square with a small margin.
    m = 0.04
    if not (m <= u <= 1 - m and m <= v <= 1 - m):
        return 0
    cx = min(max(u, m + radius), 1 - m - radius)
    cy = min(max(v, m + radius), 1 - m - radius)
    if (u - cx) ** 2 + (v - cy) ** 2 > radius ** 2:
        return 0
    # The letter: top bar, bottom bar, and the diagonal between them.
    t = 0.14
    top, bottom, left, right = 0.22, 0.78, 0.25, 0.75
    if left <= u <= right and (top <= v <= top + t or bottom - t <= v <= bottom):
        return 2
    if top + t <= v <= bottom - t:
        # The diagonal runs from the top right to the bottom left.
        along = (v - (top + t)) / ((bottom - t) - (top + t))
        centre = right - along * (right - left)
        if abs(u - centre) <= t * 0.75:
            return 2
    return 1


def pixels(size):
    rows = []
    for y in range(size):
        row = []
        for x in range(size):
            c = coverage(size, x, y)
            if c == 0:
                row.append((0, 0, 0, 0))
            else:
                r, g, b = LETTER if c == 2 else BACKGROUND
                row.append((r, g, b, 255))
        rows.append(row)
    return rows


def bitmap_image(size):
    """A DIB: BITMAPINFOHEADER with doubled height, BGRA rows bottom-up, then
    the 1-bit AND mask (all zero: the alpha channel decides)."""
    header = struct.pack('<IiiHHIIiiII', 40, size, size * 2, 1, 32, 0, 0, 0, 0, 0, 0)
    data = bytearray()
    for row in reversed(pixels(size)):
        for r, g, b, a in row:
            data += bytes((b, g, r, a))
    mask_row = ((size + 31) // 32) * 4
    data += bytes(mask_row * size)
    return header + bytes(data)


def png_image(size):
    def chunk(kind, body):
        return struct.pack('>I', len(body)) + kind + body + struct.pack(
            '>I', zlib.crc32(kind + body) & 0xFFFFFFFF)
    raw = bytearray()
    for row in pixels(size):
        raw.append(0)
        for r, g, b, a in row:
            raw += bytes((r, g, b, a))
    return (b'\x89PNG\r\n\x1a\n' +
            chunk(b'IHDR', struct.pack('>IIBBBBB', size, size, 8, 6, 0, 0, 0)) +
            chunk(b'IDAT', zlib.compress(bytes(raw), 9)) + chunk(b'IEND', b''))


def icon():
    images = [png_image(s) if s == 256 else bitmap_image(s) for s in SIZES]
    out = struct.pack('<HHH', 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for size, image in zip(SIZES, images):
        dim = 0 if size == 256 else size
        out += struct.pack('<BBBBHHII', dim, dim, 0, 0, 1, 32, len(image), offset)
        offset += len(image)
    return out + b''.join(images)


if __name__ == '__main__':
    target = sys.argv[1] if len(sys.argv) > 1 else 'runner/zorvat.ico'
    with open(target, 'wb') as f:
        f.write(icon())
