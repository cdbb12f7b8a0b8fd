"""PNG files for the artwork scripts: 8-bit RGB pictures given as rows of (r, g, b) colours (floats are
rounded and clamped to 0..255), each row with the filter that leaves the smallest residuals, deflated at
level 9. Standard library only; the bytes depend only on the pixels and on the deflate Python's zlib uses.
"""

import struct
import zlib


def to_rows(img):
    rows = []
    for row in img:
        line = bytearray()
        for c in row:
            for ch in c:
                v = int(ch + 0.5)
                line.append(0 if v < 0 else 255 if v > 255 else v)
        rows.append(bytes(line))
    return rows


def paeth(a, b, c):
    p = a + b - c
    pa, pb, pc = abs(p - a), abs(p - b), abs(p - c)
    if pa <= pb and pa <= pc:
        return a
    return b if pb <= pc else c


def filter_rows(rows, bpp=3):
    """Per row, the PNG filter with the smallest sum of absolute residuals."""
    out = bytearray()
    prev = bytes(len(rows[0]))
    for cur in rows:
        n = len(cur)
        left = [cur[i - bpp] if i >= bpp else 0 for i in range(n)]
        upleft = [prev[i - bpp] if i >= bpp else 0 for i in range(n)]
        cands = [
            (0, cur),
            (1, bytes((cur[i] - left[i]) & 255 for i in range(n))),
            (2, bytes((cur[i] - prev[i]) & 255 for i in range(n))),
            (3, bytes((cur[i] - ((left[i] + prev[i]) >> 1)) & 255 for i in range(n))),
            (4, bytes((cur[i] - paeth(left[i], prev[i], upleft[i])) & 255 for i in range(n))),
        ]
        ftype, data = min(cands, key=lambda fc: sum(v if v < 128 else 256 - v for v in fc[1]))
        out.append(ftype)
        out += data
        prev = cur
    return bytes(out)


def chunk(kind, data):
    body = kind + data
    return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF)


def png_bytes(img):
    png = b"\x89PNG\r\n\x1a\n"
    png += chunk(b"IHDR", struct.pack(">IIBBBBB", len(img[0]), len(img), 8, 2, 0, 0, 0))
    png += chunk(b"IDAT", zlib.compress(filter_rows(to_rows(img)), 9))
    png += chunk(b"IEND", b"")
    return png
