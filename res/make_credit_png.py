#!/usr/bin/env python3
"""Draw the maintainer credit picture shown in the About box.

Usage: make_credit_png.py [OUTPUT]   (default: credit.png beside this script)

Only the standard library is used so the build needs no extra packages, and
nothing depends on time or randomness: every run writes the same bytes.
"""

import os
import struct
import sys
import zlib

kWidth = 292
kHeight = 308

kWhite = (255, 255, 255)
kAvatarGrey = (240, 240, 240)
kEmblemBlue = (132, 182, 235)
kNameBlack = (0, 0, 0)
kHandleGrey = (118, 118, 118)

kAvatarSize = 220
kAvatarTop = 10
kAvatarRadius = 18

# The emblem is mirrored around its vertical axis, so only the left half is
# written out; '#' is a filled cell.
kEmblemLeftHalf = [
    "...#..",
    "....#.",
    "...###",
    "..##.#",
    ".#####",
    "######",
    "#.####",
    "#.#...",
    "...##.",
]
kEmblemCell = 14

# 5x9 glyphs: rows 0-6 sit on the baseline, rows 7-8 hold descenders.
kGlyphs = {
    "q": [".....", ".....", ".####", "#...#", "#...#", "#..##", ".##.#", "....#", "....#"],
    "u": [".....", ".....", "#...#", "#...#", "#...#", "#..##", ".##.#", ".....", "....."],
    "o": [".....", ".....", ".###.", "#...#", "#...#", "#...#", ".###.", ".....", "....."],
    "r": [".....", ".....", "#.##.", "##..#", "#....", "#....", "#....", ".....", "....."],
    "e": [".....", ".....", ".###.", "#...#", "#####", "#....", ".###.", ".....", "....."],
    "l": [".##..", "..#..", "..#..", "..#..", "..#..", "..#..", ".###.", ".....", "....."],
    "@": [".###.", "#...#", "#.###", "#.#.#", "#.###", "#....", ".####", ".....", "....."],
}
kGlyphWidth = 5
kGlyphAdvance = 6


class Canvas:
    def __init__(self, width, height, colour):
        self.width = width
        self.height = height
        self.rows = [[colour] * width for _ in range(height)]

    def Put(self, x, y, colour):
        if 0 <= x < self.width and 0 <= y < self.height:
            self.rows[y][x] = colour

    def FillRect(self, x, y, w, h, colour):
        for yy in range(y, y + h):
            for xx in range(x, x + w):
                self.Put(xx, yy, colour)


def Blend(back, front, amount):
    return tuple((b * (16 - amount) + f * amount + 8) // 16 for b, f in zip(back, front))


def RoundedSquareCoverage(px, py, left, top, size, radius):
    """Coverage of a pixel by the rounded square, in sixteenths (4x4 samples)."""
    hits = 0
    for sy in range(4):
        for sx in range(4):
            x = px + (sx + 0.5) / 4 - left
            y = py + (sy + 0.5) / 4 - top
            if not (0 <= x < size and 0 <= y < size):
                continue
            cx = min(max(x, radius), size - radius)
            cy = min(max(y, radius), size - radius)
            if (x - cx) ** 2 + (y - cy) ** 2 <= radius * radius:
                hits += 1
    return hits


def DrawAvatar(canvas):
    left = (kWidth - kAvatarSize) // 2
    for y in range(kAvatarTop, kAvatarTop + kAvatarSize):
        for x in range(left, left + kAvatarSize):
            cover = RoundedSquareCoverage(x, y, left, kAvatarTop, kAvatarSize, kAvatarRadius)
            if cover:
                canvas.Put(x, y, Blend(kWhite, kAvatarGrey, cover))

    rows = [half + half[::-1] for half in kEmblemLeftHalf]
    emblemW = len(rows[0]) * kEmblemCell
    emblemH = len(rows) * kEmblemCell
    ox = left + (kAvatarSize - emblemW) // 2
    oy = kAvatarTop + (kAvatarSize - emblemH) // 2
    for r, line in enumerate(rows):
        for c, cell in enumerate(line):
            if cell == "#":
                canvas.FillRect(ox + c * kEmblemCell, oy + r * kEmblemCell,
                                kEmblemCell, kEmblemCell, kEmblemBlue)


def TextWidth(text, scale, bold):
    return (len(text) * kGlyphAdvance - 1) * scale + (1 if bold else 0)


def DrawText(canvas, text, top, scale, bold, colour):
    """Draw centred text; bold doubles each stroke one pixel to the right."""
    x0 = (kWidth - TextWidth(text, scale, bold)) // 2
    for i, ch in enumerate(text):
        glyph = kGlyphs[ch]
        gx = x0 + i * kGlyphAdvance * scale
        for r, line in enumerate(glyph):
            for c in range(kGlyphWidth):
                if line[c] == "#":
                    canvas.FillRect(gx + c * scale, top + r * scale,
                                    scale + (1 if bold else 0), scale, colour)


def EncodePng(canvas):
    def Chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF)

    def Paeth(a, b, c):
        p = a + b - c
        pa, pb, pc = abs(p - a), abs(p - b), abs(p - c)
        if pa <= pb and pa <= pc:
            return a
        return b if pb <= pc else c

    bpp = 4
    stride = canvas.width * bpp
    prev = bytes(stride)
    raw = bytearray()
    for row in canvas.rows:
        cur = bytes(v for rgb in row for v in (rgb + (255,)))
        # Pick the filter whose output has the smallest sum of signed
        # magnitudes, the usual cheap guess at what deflates best.
        candidates = []
        for ftype in range(5):
            out = bytearray(stride)
            for i in range(stride):
                a = cur[i - bpp] if i >= bpp else 0
                b = prev[i]
                c = prev[i - bpp] if i >= bpp else 0
                if ftype == 0:
                    pred = 0
                elif ftype == 1:
                    pred = a
                elif ftype == 2:
                    pred = b
                elif ftype == 3:
                    pred = (a + b) // 2
                else:
                    pred = Paeth(a, b, c)
                out[i] = (cur[i] - pred) & 0xFF
            cost = sum(v if v < 128 else 256 - v for v in out)
            candidates.append((cost, ftype, out))
        cost, ftype, out = min(candidates, key=lambda t: (t[0], t[1]))
        raw.append(ftype)
        raw += out
        prev = cur

    ihdr = struct.pack(">IIBBBBB", canvas.width, canvas.height, 8, 6, 0, 0, 0)
    return (b"\x89PNG\r\n\x1a\n" + Chunk(b"IHDR", ihdr)
            + Chunk(b"IDAT", zlib.compress(bytes(raw), 9)) + Chunk(b"IEND", b""))


def Main(argv):
    out = argv[1] if len(argv) > 1 else os.path.join(os.path.dirname(os.path.abspath(__file__)), "credit.png")
    canvas = Canvas(kWidth, kHeight, kWhite)
    DrawAvatar(canvas)
    nameTop = kAvatarTop + kAvatarSize + 12
    DrawText(canvas, "quorrel", nameTop, 3, True, kNameBlack)
    DrawText(canvas, "@quorrel", nameTop + 9 * 3 + 6, 2, False, kHandleGrey)
    data = EncodePng(canvas)
    with open(out, "wb") as f:
        f.write(data)
    print("%s: %d bytes" % (out, len(data)))
    return 0


if __name__ == "__main__":
    sys.exit(Main(sys.argv))
