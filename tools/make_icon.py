#!/usr/bin/env python3
"""Writes the launcher's icon: 16, 24, 32 and 48 pixel images in 32-bit colour.

The picture is computed, so the same script always gives the same bytes: a
rounded blue square with a white upward arrow (the "update" sign).
"""
import struct
import sys

SIZES = (16, 24, 32, 48)
BLUE = (0x1E, 0x63, 0xC8)
WHITE = (0xFF, 0xFF, 0xFF)


def pixel(x, y, size):
    """RGBA of pixel (x, y), y counted from the top."""
    cx = cy = (size - 1) / 2
    radius = size * 0.22
    inner = size / 2 - radius
    dx = max(abs(x - cx) - inner, 0)
    dy = max(abs(y - cy) - inner, 0)
    if dx * dx + dy * dy > radius * radius:
        return (0, 0, 0, 0)
    u, v = (x - cx) / size, (y - cy) / size  # -0.5 .. 0.5
    head = -0.32 <= v <= 0.0 and abs(u) <= (v + 0.32) * 0.95
    shaft = 0.0 <= v <= 0.30 and abs(u) <= 0.09
    return (*(WHITE if head or shaft else BLUE), 0xFF)


def image(size):
    """One icon image: BITMAPINFOHEADER, BGRA rows bottom-up, AND mask."""
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, 0, 0, 0, 0, 0)
    rows = []
    for y in reversed(range(size)):
        rows.append(b"".join(bytes((b, g, r, a)) for r, g, b, a in (pixel(x, y, size) for x in range(size))))
    mask_row = ((size + 31) // 32) * 4
    mask = bytes(mask_row * size)  # transparency comes from the alpha channel
    return header + b"".join(rows) + mask


def icon():
    images = [image(s) for s in SIZES]
    out = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for size, data in zip(SIZES, images):
        out += struct.pack("<BBBBHHII", size, size, 0, 0, 1, 32, len(data), offset)
        offset += len(data)
    return out + b"".join(images)


if __name__ == "__main__":
    with open(sys.argv[1], "wb") as f:
        f.write(icon())
