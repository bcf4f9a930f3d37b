#!/usr/bin/env python3
"""Draw the program icon: a blue rounded square holding a white arrow that
drops onto a bar, stored as 16x16, 32x32 and 48x48 images with 16 colours.

Usage:
  make_icon.py [OUTPUT]          write the icon (default: varnook.ico here)
  make_icon.py --check [ICO]     re-read an icon and verify its structure
  make_icon.py --preview DIR     also write enlarged PNG previews into DIR

Only the standard library is used and nothing depends on time or randomness,
so every run writes the same bytes.
"""

import os
import struct
import sys
import zlib

kSizes = (16, 32, 48)
kBitCount = 4

# Index 0 stays black: transparent pixels must be black in the colour bitmap
# so the AND/XOR pair leaves the screen untouched.
kPalette = [
    (0, 0, 0),
    (22, 66, 140),     # 1 border
    (38, 110, 210),    # 2 body
    (90, 146, 223),    # 3 body/arrow blends, from body towards white
    (146, 183, 235),   # 4
    (200, 219, 245),   # 5
    (255, 255, 255),   # 6 arrow
    (66, 136, 228),    # 7 highlight under the top border
] + [(0, 0, 0)] * 8
kBorder, kBody, kWhite, kHighlight = 1, 2, 6, 7
kBlendShades = (kBody, 3, 4, 5, kWhite)  # arrow coverage 0, 1/4, 1/2, 3/4, 1

# Per-size geometry in pixels, chosen so the straight edges land on whole
# pixels and the small size keeps a two-pixel-wide shaft.
#   margin: gap around the square; radius: corner radius
#   shaftHalf: half width of the shaft; shaftTop: first shaft row
#   headTop: first row of the arrow head; headHalf: its half width there
#   barTop/barHeight/barHalf: the bar the arrow points at
#   stepped: narrow the head a whole row at a time; at 16x16 smoothed
#            diagonals only blur the point
kGeometry = {
    16: dict(margin=0, radius=3, shaftHalf=1, shaftTop=3, headTop=6, headHalf=4,
             barTop=11, barHeight=2, barHalf=5, stepped=True),
    32: dict(margin=1, radius=6, shaftHalf=3, shaftTop=6, headTop=13, headHalf=9,
             barTop=23, barHeight=3, barHalf=10, stepped=False),
    48: dict(margin=2, radius=9, shaftHalf=4, shaftTop=9, headTop=20, headHalf=13,
             barTop=35, barHeight=4, barHalf=15, stepped=False),
}

kSamples = 4  # supersampling per axis


def InRoundedSquare(x, y, lo, hi, radius):
    if not (lo <= x < hi and lo <= y < hi):
        return False
    cx = min(max(x, lo + radius), hi - radius)
    cy = min(max(y, lo + radius), hi - radius)
    return (x - cx) ** 2 + (y - cy) ** 2 <= radius * radius


def InGlyph(x, y, size, g):
    mid = size / 2
    dx = abs(x - mid)
    if g["shaftTop"] <= y < g["headTop"] and dx < g["shaftHalf"]:
        return True
    # The head narrows at 45 degrees from its top row down to a point.
    depth = (int(y) if g["stepped"] else y) - g["headTop"]
    if g["headTop"] <= y and dx < g["headHalf"] - depth:
        return True
    return g["barTop"] <= y < g["barTop"] + g["barHeight"] and dx < g["barHalf"]


def Coverage(px, py, inside):
    hits = 0
    for sy in range(kSamples):
        for sx in range(kSamples):
            if inside(px + (sx + 0.5) / kSamples, py + (sy + 0.5) / kSamples):
                hits += 1
    return hits


def Render(size):
    """Return (pixels, opaque): palette indices and a visibility mask, top row first."""
    g = kGeometry[size]
    lo, hi = g["margin"], size - g["margin"]
    full = kSamples * kSamples
    opaque = [[Coverage(x, y, lambda sx, sy: InRoundedSquare(sx, sy, lo, hi, g["radius"])) * 2 >= full
               for x in range(size)] for y in range(size)]

    def Visible(x, y):
        return 0 <= x < size and 0 <= y < size and opaque[y][x]

    pixels = [[0] * size for _ in range(size)]
    for y in range(size):
        for x in range(size):
            if not opaque[y][x]:
                continue
            if not all(Visible(x + dx, y + dy) for dx, dy in ((1, 0), (-1, 0), (0, 1), (0, -1))):
                pixels[y][x] = kBorder
                continue
            cover = Coverage(x, y, lambda sx, sy: InGlyph(sx, sy, size, g))
            shade = kBlendShades[(cover * 4 + full // 2) // full]
            if shade == kBody and not Visible(x, y - 2):
                shade = kHighlight
            pixels[y][x] = shade
    return pixels, opaque


def PackImage(size, pixels, opaque):
    xorStride = (size * kBitCount + 31) // 32 * 4
    andStride = (size + 31) // 32 * 4
    xorBits = bytearray()
    andBits = bytearray()
    for y in reversed(range(size)):  # DIB rows run bottom-up
        row = bytearray(xorStride)
        for x in range(size):
            row[x // 2] |= pixels[y][x] << (4 if x % 2 == 0 else 0)
        xorBits += row
        mask = bytearray(andStride)
        for x in range(size):
            if not opaque[y][x]:
                mask[x // 8] |= 0x80 >> (x % 8)
        andBits += mask
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, kBitCount, 0,
                         len(xorBits) + len(andBits), 0, 0, 0, 0)
    palette = b"".join(struct.pack("<BBBB", b, g, r, 0) for r, g, b in kPalette)
    return header + palette + bytes(xorBits) + bytes(andBits)


def BuildIcon():
    images = [PackImage(s, *Render(s)) for s in kSizes]
    out = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for size, data in zip(kSizes, images):
        out += struct.pack("<BBBBHHII", size, size, 16, 0, 1, kBitCount, len(data), offset)
        offset += len(data)
    return out + b"".join(images)


def Require(condition, detail):
    # Not assert: the check must still run under python -O.
    if not condition:
        raise SystemExit("varnook.ico check failed: %r" % (detail,))


def CheckIcon(data):
    """Re-read the icon and fail loudly on any structural mistake."""
    reserved, kind, count = struct.unpack_from("<HHH", data, 0)
    Require((reserved, kind, count) == (0, 1, len(kSizes)), (reserved, kind, count))
    expectedOffset = 6 + 16 * count
    for i, size in enumerate(kSizes):
        w, h, colours, res, planes, bits, length, offset = struct.unpack_from("<BBBBHHII", data, 6 + 16 * i)
        Require((w, h) == (size, size), (i, w, h))
        Require((colours, res, planes, bits) == (16, 0, 1, kBitCount), (i, colours, res, planes, bits))
        Require(offset == expectedOffset, (i, offset, expectedOffset))
        xorStride = (size * kBitCount + 31) // 32 * 4
        andStride = (size + 31) // 32 * 4
        expectedLength = 40 + 16 * 4 + (xorStride + andStride) * size
        Require(length == expectedLength, (i, length, expectedLength))
        Require(offset + length <= len(data), (i, offset, length, len(data)))
        (biSize, biWidth, biHeight, biPlanes, biBitCount, biCompression,
         biSizeImage, _, _, biClrUsed, _) = struct.unpack_from("<IiiHHIIiiII", data, offset)
        Require((biSize, biWidth, biHeight) == (40, size, 2 * size), (i, biSize, biWidth, biHeight))
        Require((biPlanes, biBitCount, biCompression) == (1, kBitCount, 0), (i, biPlanes, biBitCount, biCompression))
        Require(biSizeImage == (xorStride + andStride) * size, (i, biSizeImage))
        Require(biClrUsed in (0, 16), (i, biClrUsed))
        # Every see-through pixel must be black in the colour bitmap.
        xorAt = offset + 40 + 64
        andAt = xorAt + xorStride * size
        for y in range(size):
            for x in range(size):
                masked = data[andAt + y * andStride + x // 8] & (0x80 >> (x % 8))
                nibble = (data[xorAt + y * xorStride + x // 2] >> (4 if x % 2 == 0 else 0)) & 0xF
                Require(not masked or nibble == 0, (i, x, y))
        expectedOffset += length
    Require(expectedOffset == len(data), (expectedOffset, len(data)))


def PreviewPng(size, pixels, opaque, scale=8):
    """Enlarged RGBA preview on a checkerboard so the mask edges show."""
    rows = []
    for y in range(size * scale):
        row = bytearray(b"\x00")
        for x in range(size * scale):
            px, py = x // scale, y // scale
            if opaque[py][px]:
                rgb = kPalette[pixels[py][px]]
            else:
                rgb = (204, 204, 204) if (x // 8 + y // 8) % 2 else (255, 255, 255)
            row += bytes(rgb) + b"\xff"
        rows.append(bytes(row))

    def Chunk(kind, body):
        return struct.pack(">I", len(body)) + kind + body + struct.pack(">I", zlib.crc32(kind + body) & 0xFFFFFFFF)

    ihdr = struct.pack(">IIBBBBB", size * scale, size * scale, 8, 6, 0, 0, 0)
    return (b"\x89PNG\r\n\x1a\n" + Chunk(b"IHDR", ihdr)
            + Chunk(b"IDAT", zlib.compress(b"".join(rows), 9)) + Chunk(b"IEND", b""))


def Main(argv):
    here = os.path.dirname(os.path.abspath(__file__))
    defaultPath = os.path.join(here, "varnook.ico")
    args = argv[1:]
    if args and args[0] == "--check":
        path = args[1] if len(args) > 1 else defaultPath
        with open(path, "rb") as f:
            CheckIcon(f.read())
        print("%s: ok" % path)
        return 0
    previewDir = None
    if args and args[0] == "--preview":
        previewDir = args[1]
        args = args[2:]
    out = args[0] if args else defaultPath
    data = BuildIcon()
    CheckIcon(data)
    with open(out, "wb") as f:
        f.write(data)
    print("%s: %d bytes" % (out, len(data)))
    if previewDir:
        for size in kSizes:
            path = os.path.join(previewDir, "varnook-%d.png" % size)
            with open(path, "wb") as f:
                f.write(PreviewPng(size, *Render(size)))
            print(path)
    return 0


if __name__ == "__main__":
    sys.exit(Main(sys.argv))
