#!/usr/bin/env python3
"""Writes orvanta.ico: the program's icon at 16, 32 and 48 pixels, drawn from the window's own
colours (a black field framed in light blue, a lime runway and a yellow
aircraft seen from above, drawn as a cross). Run it again after a change
and commit the result; the build uses the committed file."""

import struct
import sys

BLACK = (0, 0, 0)
LIME = (50, 205, 50)
YELLOW = (255, 255, 0)
LIGHT_BLUE = (153, 204, 255)


def pixel(x, y, size):
    """Colour at (x, y), y from the top, on a picture of size x size."""
    u = (x + 0.5) / size
    v = (y + 0.5) / size
    # The aircraft: a fuselage along the diagonal with two wings across it.
    d = abs(u - v)
    a = abs(u + v - 1.0)
    if d < 0.07 and 0.15 < u < 0.85:
        return YELLOW
    if a < 0.07 and abs(u - 0.5) < 0.32 and abs(v - 0.5) < 0.32 and d < 0.45:
        return YELLOW
    # The runway: a lime band across the bottom, with a light-blue frame around the field.
    if v > 0.84:
        return LIME
    if u < 0.06 or u > 0.94 or v < 0.06:
        return LIGHT_BLUE
    return BLACK


def bitmap(size):
    """One icon image: a BITMAPINFOHEADER, 32-bit BGRA rows bottom up, then the AND mask."""
    header = struct.pack('<IiiHHIIiiII', 40, size, size * 2, 1, 32, 0, 0, 0, 0, 0, 0)
    rows = bytearray()
    for y in reversed(range(size)):
        for x in range(size):
            r, g, b = pixel(x, y, size)
            rows += bytes((b, g, r, 255))
    mask_row = ((size + 31) // 32) * 4
    mask = bytes(mask_row * size)  # every pixel opaque
    return header + bytes(rows) + mask


def icon(sizes):
    images = [bitmap(size) for size in sizes]
    out = bytearray(struct.pack('<HHH', 0, 1, len(images)))
    offset = 6 + 16 * len(images)
    for size, image in zip(sizes, images):
        out += struct.pack('<BBBBHHII', size % 256, size % 256, 0, 0, 1, 32, len(image), offset)
        offset += len(image)
    for image in images:
        out += image
    return bytes(out)


if __name__ == '__main__':
    target = sys.argv[1] if len(sys.argv) > 1 else 'orvanta.ico'
    with open(target, 'wb') as f:
        f.write(icon([16, 32, 48]))
