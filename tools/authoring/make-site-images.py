#!/usr/bin/env python3
"""make-site-images.py: draws the GIF images of the administration pages.

The images (header banner, navigation tabs, buttons, bar and table backgrounds, message
icons) are drawn here from scratch with the Python standard library only: a small raster
with anti-aliased shapes, a built-in stroke font and a GIF89a writer with its LZW encoder.
The generated files are committed in site/; this script is how they are remade.

    tools/authoring/make-site-images.py [--out DIR]     write every image into DIR (default: site/)
    tools/authoring/make-site-images.py --check [DIR]   decode every .gif in DIR and check it

The output is deterministic: the same script always writes the same bytes.
"""

import math
import os
import sys

# ---------------------------------------------------------------------------------------------
# GIF89a writer and reader
# ---------------------------------------------------------------------------------------------

GIF_MAX_CODE = 4096  # LZW codes are at most 12 bits wide


def lzw_encode(indices, min_code_size):
    """LZW-compresses colour indices into the byte stream of a GIF image (without blocks)."""
    clear = 1 << min_code_size
    end = clear + 1
    out = bytearray()
    bit_buffer = 0
    bit_count = 0

    def emit(code, width):
        nonlocal bit_buffer, bit_count
        bit_buffer |= code << bit_count
        bit_count += width
        while bit_count >= 8:
            out.append(bit_buffer & 0xFF)
            bit_buffer >>= 8
            bit_count -= 8

    width = min_code_size + 1
    table = {}
    next_code = end + 1
    emit(clear, width)
    prefix = None
    for index in indices:
        if prefix is None:
            prefix = index
            continue
        key = (prefix, index)
        code = table.get(key)
        if code is not None:
            prefix = code
            continue
        emit(prefix, width)
        if next_code < GIF_MAX_CODE:
            table[key] = next_code
            # The decoder widens its codes one step behind the encoder's table growth.
            if next_code == (1 << width) and width < 12:
                width += 1
            next_code += 1
        else:
            # Table full: start again so that the decoder's table matches ours.
            emit(clear, width)
            table = {}
            next_code = end + 1
            width = min_code_size + 1
        prefix = index
    if prefix is not None:
        emit(prefix, width)
    emit(end, width)
    if bit_count:
        out.append(bit_buffer & 0xFF)
    return bytes(out)


def lzw_decode(data, min_code_size, pixel_count):
    """Decodes the LZW stream of a GIF image; raises ValueError on a malformed stream."""
    clear = 1 << min_code_size
    end = clear + 1
    width = min_code_size + 1
    table = [bytes([i]) for i in range(clear)] + [b"", b""]
    out = bytearray()
    previous = None
    bit_buffer = 0
    bit_count = 0
    pos = 0
    while True:
        while bit_count < width:
            if pos >= len(data):
                raise ValueError("LZW stream ends without an end code")
            bit_buffer |= data[pos] << bit_count
            pos += 1
            bit_count += 8
        code = bit_buffer & ((1 << width) - 1)
        bit_buffer >>= width
        bit_count -= width
        if code == clear:
            table = table[:end + 1]
            width = min_code_size + 1
            previous = None
            continue
        if code == end:
            break
        if code < len(table) and code != clear and code != end:
            entry = table[code]
            if previous is not None:
                table.append(previous + entry[:1])
        elif code == len(table) and previous is not None:
            entry = previous + previous[:1]
            table.append(entry)
        else:
            raise ValueError("LZW code %d out of range" % code)
        out += entry
        previous = entry
        if len(table) == (1 << width) and width < 12:
            width += 1
    if len(out) != pixel_count:
        raise ValueError("image holds %d pixels, expected %d" % (len(out), pixel_count))
    return bytes(out)


def gif_bytes(width, height, palette, indices, transparent=None):
    """A complete GIF89a file: one image, a global colour table, optional transparency."""
    bits = 1
    while (1 << bits) < len(palette):
        bits += 1
    table = list(palette) + [(0, 0, 0)] * ((1 << bits) - len(palette))
    out = bytearray(b"GIF89a")
    out += width.to_bytes(2, "little") + height.to_bytes(2, "little")
    out += bytes([0x80 | 0x70 | (bits - 1), 0, 0])
    for r, g, b in table:
        out += bytes([r, g, b])
    if transparent is not None:
        out += bytes([0x21, 0xF9, 0x04, 0x01, 0, 0, transparent, 0])
    out += b"\x2c" + bytes(4) + width.to_bytes(2, "little") + height.to_bytes(2, "little")
    out += b"\x00"
    min_code_size = max(2, bits)
    out.append(min_code_size)
    data = lzw_encode(indices, min_code_size)
    for start in range(0, len(data), 255):
        block = data[start:start + 255]
        out.append(len(block))
        out += block
    out += b"\x00\x3b"
    return bytes(out)


def gif_read(data):
    """Decodes a GIF file written by gif_bytes (or any single-image GIF without a local table).

    Returns (width, height, palette, indices, transparent index or None)."""
    if data[:6] not in (b"GIF87a", b"GIF89a"):
        raise ValueError("not a GIF file")
    width = int.from_bytes(data[6:8], "little")
    height = int.from_bytes(data[8:10], "little")
    packed = data[10]
    pos = 13
    palette = []
    if packed & 0x80:
        count = 1 << ((packed & 7) + 1)
        for i in range(count):
            palette.append(tuple(data[pos + 3 * i:pos + 3 * i + 3]))
        pos += 3 * count
    transparent = None
    while True:
        if pos >= len(data):
            raise ValueError("file ends before the image")
        kind = data[pos]
        if kind == 0x21:
            label = data[pos + 1]
            pos += 2
            if label == 0xF9 and data[pos] == 4 and data[pos + 1] & 1:
                transparent = data[pos + 4]
            while data[pos]:
                pos += data[pos] + 1
            pos += 1
        elif kind == 0x2C:
            iw = int.from_bytes(data[pos + 5:pos + 7], "little")
            ih = int.from_bytes(data[pos + 7:pos + 9], "little")
            if data[pos + 9] & 0x80:
                raise ValueError("local colour tables are not used here")
            if (iw, ih) != (width, height):
                raise ValueError("image size differs from the screen size")
            pos += 10
            min_code_size = data[pos]
            pos += 1
            stream = bytearray()
            while data[pos]:
                stream += data[pos + 1:pos + 1 + data[pos]]
                pos += data[pos] + 1
            pos += 1
            indices = lzw_decode(bytes(stream), min_code_size, width * height)
            if data[pos:pos + 1] != b"\x3b":
                raise ValueError("no trailer after the image")
            if palette and max(indices) >= len(palette):
                raise ValueError("colour index outside the table")
            return width, height, palette, indices, transparent
        else:
            raise ValueError("unknown block 0x%02x" % kind)


# ---------------------------------------------------------------------------------------------
# Raster: an RGB image with an optional transparency mask, anti-aliased by coverage
# ---------------------------------------------------------------------------------------------

SS = 4  # sub-samples per pixel side for anti-aliasing


def hex_rgb(text):
    text = text.lstrip("#")
    return (int(text[0:2], 16), int(text[2:4], 16), int(text[4:6], 16))


def mix(a, b, t):
    """Colour a blended towards b by t (0..1)."""
    return tuple(int(round(a[i] + (b[i] - a[i]) * t)) for i in range(3))


class Image:
    def __init__(self, width, height, colour=(255, 255, 255)):
        self.width = width
        self.height = height
        self.pixels = [[colour] * width for _ in range(height)]
        self.clear = [[False] * width for _ in range(height)]

    def put(self, x, y, colour, alpha=1.0):
        if 0 <= x < self.width and 0 <= y < self.height and alpha > 0:
            if alpha >= 1.0:
                self.pixels[y][x] = colour
            else:
                self.pixels[y][x] = mix(self.pixels[y][x], colour, alpha)

    def fill(self, x0, y0, x1, y1, colour):
        for y in range(max(0, y0), min(self.height, y1)):
            row = self.pixels[y]
            for x in range(max(0, x0), min(self.width, x1)):
                row[x] = colour

    def vgradient(self, x0, y0, x1, y1, stops):
        """Vertical gradient through the colour stops [(position 0..1, colour), ...]."""
        span = max(1, y1 - y0 - 1)
        for y in range(y0, y1):
            t = (y - y0) / span
            for k in range(len(stops) - 1):
                if stops[k][0] <= t <= stops[k + 1][0]:
                    a, b = stops[k], stops[k + 1]
                    u = 0 if b[0] == a[0] else (t - a[0]) / (b[0] - a[0])
                    self.fill(x0, y, x1, y + 1, mix(a[1], b[1], u))
                    break

    def hline(self, x0, x1, y, colour, alpha=1.0):
        for x in range(x0, x1):
            self.put(x, y, colour, alpha)

    def vline(self, x, y0, y1, colour, alpha=1.0):
        for y in range(y0, y1):
            self.put(x, y, colour, alpha)

    def paint(self, coverage, colour, dx=0, dy=0, opacity=1.0):
        """Blends a coverage map {(x, y): 0..1} in the colour."""
        for (x, y), c in coverage.items():
            self.put(x + dx, y + dy, colour, c * opacity)


class Coverage:
    """Collects sub-sampled ink and gives per-pixel coverage."""

    def __init__(self):
        self.cells = {}

    def add_sample(self, sx, sy):
        self.cells[(sx, sy)] = 1

    def capsule(self, ax, ay, bx, by, radius):
        """A line from a to b with round ends, in pixel coordinates."""
        r = radius * SS
        ax, ay, bx, by = ax * SS, ay * SS, bx * SS, by * SS
        dx, dy = bx - ax, by - ay
        length2 = dx * dx + dy * dy
        x0 = int(math.floor(min(ax, bx) - r))
        x1 = int(math.ceil(max(ax, bx) + r))
        y0 = int(math.floor(min(ay, by) - r))
        y1 = int(math.ceil(max(ay, by) + r))
        r2 = r * r
        cells = self.cells
        for sy in range(y0, y1 + 1):
            py = sy + 0.5
            for sx in range(x0, x1 + 1):
                px = sx + 0.5
                if length2 == 0:
                    t = 0.0
                else:
                    t = ((px - ax) * dx + (py - ay) * dy) / length2
                    t = 0.0 if t < 0 else (1.0 if t > 1 else t)
                qx = ax + t * dx - px
                qy = ay + t * dy - py
                if qx * qx + qy * qy <= r2:
                    cells[(sx, sy)] = 1

    def polygon(self, points):
        """A filled polygon (even-odd rule), in pixel coordinates."""
        pts = [(x * SS, y * SS) for x, y in points]
        y0 = int(math.floor(min(p[1] for p in pts)))
        y1 = int(math.ceil(max(p[1] for p in pts)))
        for sy in range(y0, y1 + 1):
            py = sy + 0.5
            xs = []
            for i in range(len(pts)):
                (xa, ya), (xb, yb) = pts[i], pts[(i + 1) % len(pts)]
                if (ya <= py < yb) or (yb <= py < ya):
                    xs.append(xa + (py - ya) * (xb - xa) / (yb - ya))
            xs.sort()
            for k in range(0, len(xs) - 1, 2):
                for sx in range(int(math.ceil(xs[k] - 0.5)), int(math.floor(xs[k + 1] - 0.5)) + 1):
                    self.cells[(sx, sy)] = 1

    def ellipse(self, cx, cy, rx, ry):
        rx2 = (rx * SS) ** 2
        ry2 = (ry * SS) ** 2
        cxs, cys = cx * SS, cy * SS
        for sy in range(int(cys - ry * SS) - 1, int(cys + ry * SS) + 2):
            for sx in range(int(cxs - rx * SS) - 1, int(cxs + rx * SS) + 2):
                px, py = sx + 0.5 - cxs, sy + 0.5 - cys
                if px * px / rx2 + py * py / ry2 <= 1.0:
                    self.cells[(sx, sy)] = 1

    def rounded_rect(self, x0, y0, x1, y1, radius):
        """Filled rectangle [x0, x1) x [y0, y1) with round corners, in pixel coordinates."""
        r = radius
        for sy in range(int(y0 * SS), int(y1 * SS)):
            py = (sy + 0.5) / SS
            for sx in range(int(x0 * SS), int(x1 * SS)):
                px = (sx + 0.5) / SS
                cx = min(max(px, x0 + r), x1 - r)
                cy = min(max(py, y0 + r), y1 - r)
                if (px - cx) ** 2 + (py - cy) ** 2 <= r * r:
                    self.cells[(sx, sy)] = 1

    def pixels(self):
        counts = {}
        for sx, sy in self.cells:
            key = (sx // SS, sy // SS)
            counts[key] = counts.get(key, 0) + 1
        full = SS * SS
        return {k: v / full for k, v in counts.items()}


# ---------------------------------------------------------------------------------------------
# Stroke font: glyphs as polylines on a grid where the capital height is 10 and the
# x-height 7; y points up from the baseline. Drawn with a round pen, anti-aliased.
# ---------------------------------------------------------------------------------------------

def arc(cx, cy, rx, ry, a0, a1, steps=None):
    """Points along an elliptic arc from angle a0 to a1 (degrees, counter-clockwise > 0)."""
    if steps is None:
        steps = max(6, int(abs(a1 - a0) / 10))
    return [(cx + rx * math.cos(math.radians(a0 + (a1 - a0) * i / steps)),
             cy + ry * math.sin(math.radians(a0 + (a1 - a0) * i / steps)))
            for i in range(steps + 1)]


def ring(cx, cy, rx, ry):
    return arc(cx, cy, rx, ry, 0, 360, 36)


def dot(x, y):
    return [(x, y), (x, y + 0.01)]


# Each glyph: (advance width of its ink, [polylines]).
GLYPHS = {
    " ": (3.0, []),
    "A": (7.0, [[(0, 0), (3.5, 10), (7, 0)], [(1.3, 3.4), (5.7, 3.4)]]),
    "B": (6.2, [[(3.3, 5.4), (0, 5.4), (0, 10), (3.2, 10)] + arc(3.2, 7.7, 2.5, 2.3, 90, -90),
                [(3.3, 5.4)] + arc(3.4, 2.7, 2.8, 2.7, 90, -90) + [(0, 0), (0, 5.4)]]),
    "C": (7.6, [arc(4.6, 5, 4.6, 5, 48, 312)]),
    "D": (7.2, [[(0, 0), (0, 10), (2.4, 10)] + arc(2.4, 5, 4.8, 5, 90, -90) + [(0, 0)]]),
    "E": (5.8, [[(5.8, 10), (0, 10), (0, 0), (5.8, 0)], [(0, 5.2), (5.2, 5.2)]]),
    "F": (5.6, [[(5.6, 10), (0, 10), (0, 0)], [(0, 5.2), (5.0, 5.2)]]),
    "G": (8.0, [arc(4.6, 5, 4.6, 5, 48, 355) + [(9.2, 4.5), (9.2, 1.0)], [(9.2, 4.5), (5.4, 4.5)]]),
    "H": (6.6, [[(0, 0), (0, 10)], [(6.6, 0), (6.6, 10)], [(0, 5.2), (6.6, 5.2)]]),
    "I": (0.0, [[(0, 0), (0, 10)]]),
    "J": (4.2, [[(4.2, 10), (4.2, 2.6)] + arc(2.1, 2.6, 2.1, 2.6, 0, -165)]),
    "K": (6.2, [[(0, 0), (0, 10)], [(6.0, 10), (0, 3.4)], [(2.1, 5.7), (6.2, 0)]]),
    "L": (5.2, [[(0, 10), (0, 0), (5.2, 0)]]),
    "M": (8.2, [[(0, 0), (0, 10), (4.1, 1.5), (8.2, 10), (8.2, 0)]]),
    "N": (6.6, [[(0, 0), (0, 10), (6.6, 0), (6.6, 10)]]),
    "O": (9.0, [ring(4.5, 5, 4.5, 5)]),
    "P": (6.0, [[(0, 0), (0, 10), (3.2, 10)] + arc(3.2, 7.4, 2.8, 2.6, 90, -90) + [(0, 4.8)]]),
    "Q": (9.0, [ring(4.5, 5, 4.5, 5), [(5.4, 2.6), (9.0, -0.6)]]),
    "R": (6.2, [[(0, 0), (0, 10), (3.2, 10)] + arc(3.2, 7.4, 2.8, 2.6, 90, -90) + [(0, 4.8)],
                [(3.0, 4.8), (6.2, 0)]]),
    "S": (6.2, [arc(3.1, 7.55, 2.9, 2.45, 25, 270) + arc(3.1, 2.55, 3.1, 2.55, 90, -155)]),
    "T": (7.0, [[(0, 10), (7, 10)], [(3.5, 10), (3.5, 0)]]),
    "U": (6.6, [[(0, 10), (0, 3.3)] + arc(3.3, 3.3, 3.3, 3.3, 180, 360) + [(6.6, 10)]]),
    "V": (7.0, [[(0, 10), (3.5, 0), (7, 10)]]),
    "W": (10.4, [[(0, 10), (2.6, 0), (5.2, 8.6), (7.8, 0), (10.4, 10)]]),
    "X": (6.8, [[(0, 0), (6.8, 10)], [(0, 10), (6.8, 0)]]),
    "Y": (7.0, [[(0, 10), (3.5, 5), (7, 10)], [(3.5, 5), (3.5, 0)]]),
    "Z": (6.4, [[(0, 10), (6.4, 10), (0, 0), (6.4, 0)]]),
    "a": (5.8, [ring(2.9, 3.5, 2.9, 3.5), [(5.8, 7), (5.8, 0)]]),
    "b": (5.8, [[(0, 10.5), (0, 0)], ring(2.9, 3.5, 2.9, 3.5)]),
    "c": (5.6, [arc(3.2, 3.5, 3.2, 3.5, 45, 315)]),
    "d": (5.8, [ring(2.9, 3.5, 2.9, 3.5), [(5.8, 10.5), (5.8, 0)]]),
    "e": (6.0, [[(0.1, 3.6), (6.0, 3.6)] + arc(3.05, 3.5, 2.95, 3.5, 0, 318)]),
    "f": (4.0, [[(1.4, 0)] + arc(3.6, 8.3, 2.2, 2.2, 180, 70), [(0, 7), (4.0, 7)]]),
    "g": (5.8, [ring(2.9, 3.5, 2.9, 3.5), [(5.8, 7), (5.8, -0.6)] + arc(2.9, -0.6, 2.9, 2.4, 0, -160)]),
    "h": (5.8, [[(0, 10.5), (0, 0)], [(0, 4.1)] + arc(2.9, 4.1, 2.9, 2.9, 180, 0) + [(5.8, 0)]]),
    "i": (0.0, [[(0, 0), (0, 7)], dot(0, 9.6)]),
    "j": (1.6, [[(1.6, 7), (1.6, -1.4)] + arc(0.0, -1.4, 1.6, 1.6, 0, -150), dot(1.6, 9.6)]),
    "k": (5.4, [[(0, 0), (0, 10.5)], [(5.2, 7), (0, 2.4)], [(1.9, 4.1), (5.4, 0)]]),
    "l": (0.0, [[(0, 0), (0, 10.5)]]),
    "m": (9.2, [[(0, 0), (0, 7)], [(0, 4.6)] + arc(2.3, 4.6, 2.3, 2.4, 180, 0) + [(4.6, 0)],
                [(4.6, 4.6)] + arc(6.9, 4.6, 2.3, 2.4, 180, 0) + [(9.2, 0)]]),
    "n": (5.8, [[(0, 0), (0, 7)], [(0, 4.1)] + arc(2.9, 4.1, 2.9, 2.9, 180, 0) + [(5.8, 0)]]),
    "o": (6.4, [ring(3.2, 3.5, 3.2, 3.5)]),
    "p": (5.8, [[(0, 7), (0, -3)], ring(2.9, 3.5, 2.9, 3.5)]),
    "q": (5.8, [ring(2.9, 3.5, 2.9, 3.5), [(5.8, 7), (5.8, -3)]]),
    "r": (3.8, [[(0, 0), (0, 7)], [(0, 3.8)] + arc(3.4, 3.8, 3.4, 3.0, 180, 75)]),
    "s": (5.0, [arc(2.5, 5.2, 2.4, 1.8, 30, 270) + arc(2.5, 1.75, 2.5, 1.75, 90, -150)]),
    "t": (3.8, [[(1.3, 9.4), (1.3, 1.6)] + arc(3.0, 1.6, 1.7, 1.6, 180, 290), [(0, 7), (3.8, 7)]]),
    "u": (5.8, [[(0, 7), (0, 2.9)] + arc(2.9, 2.9, 2.9, 2.9, 180, 360), [(5.8, 7), (5.8, 0)]]),
    "v": (6.0, [[(0, 7), (3, 0), (6, 7)]]),
    "w": (9.0, [[(0, 7), (2.2, 0), (4.5, 6.2), (6.8, 0), (9, 7)]]),
    "x": (5.6, [[(0, 0), (5.6, 7)], [(0, 7), (5.6, 0)]]),
    "y": (6.0, [[(0, 7), (3.1, 0.2)], [(6, 7), (3.1, 0.2), (1.6, -3)]]),
    "z": (5.4, [[(0, 7), (5.4, 7), (0, 0), (5.4, 0)]]),
    "0": (6.0, [ring(3, 5, 3, 5)]),
    "1": (3.4, [[(0.4, 7.8), (3.0, 10), (3.0, 0)]]),
    "2": (6.0, [arc(3, 7.1, 2.9, 2.9, 160, -28) + [(0, 0), (6.0, 0)]]),
    "3": (6.0, [arc(3, 7.6, 2.7, 2.4, 150, -90) + arc(3, 2.65, 3.0, 2.65, 90, -150)]),
    "4": (6.4, [[(4.6, 0), (4.6, 10), (0, 3.0), (6.4, 3.0)]]),
    "5": (6.0, [[(5.6, 10), (1.0, 10), (0.5, 5.5)] + arc(3, 3.3, 3.0, 3.3, 130, -150)]),
    "6": (6.0, [ring(3, 3.2, 3, 3.2), [(0.25, 4.3), (3.9, 10)]]),
    "7": (6.0, [[(0, 10), (6, 10), (1.8, 0)]]),
    "8": (6.0, [ring(3, 7.65, 2.6, 2.35), ring(3, 2.65, 3.0, 2.65)]),
    "9": (6.0, [ring(3, 6.8, 3, 3.2), [(5.75, 5.7), (2.1, 0)]]),
    ".": (0.0, [dot(0, 0)]),
    ",": (0.6, [[(0.6, 0.2), (-0.3, -2.0)]]),
    ":": (0.0, [dot(0, 0), dot(0, 6.2)]),
    "-": (3.6, [[(0, 4.0), (3.6, 4.0)]]),
    "(": (2.4, [arc(6.2, 4.0, 6.2, 7.8, 142, 218)]),
    ")": (2.4, [arc(-3.8, 4.0, 6.2, 7.8, 38, -38)]),
    "/": (4.0, [[(0, -1.2), (4.0, 10.6)]]),
    "&": (7.0, [[(7.0, 0)] + arc(2.3, 7.9, 1.7, 1.9, -60, 210) + [(0.3, 2.4)]
                + arc(2.7, 2.4, 2.4, 2.4, 180, 300) + [(6.4, 4.4)]]),
}

GAP = 2.1  # space between the ink of two glyphs, in font units (before the pen width)


def text_width(text, size, pen):
    """Width in pixels of a text at capital height `size` px drawn with a pen of `pen` px."""
    scale = size / 10.0
    width = 0.0
    for ch in text:
        if ch not in GLYPHS:
            raise ValueError("the built-in font has no glyph for %r" % ch)
        width += GLYPHS[ch][0] * scale + pen + GAP * scale
    return width - GAP * scale


def text_coverage(text, x, baseline, size, pen, slant=0.0):
    """Coverage of a text whose left ink edge is at x and whose baseline is at y = baseline."""
    cov = Coverage()
    scale = size / 10.0
    r = pen / 2.0
    cursor = x + r
    for ch in text:
        advance, strokes = GLYPHS[ch]
        for line in strokes:
            pts = [(cursor + (gx + slant * gy) * scale, baseline - gy * scale) for gx, gy in line]
            for (ax, ay), (bx, by) in zip(pts, pts[1:]):
                cov.capsule(ax, ay, bx, by, r)
        cursor += advance * scale + pen + GAP * scale
    return cov.pixels()


def draw_text(img, text, x, baseline, size, pen, colour, shadow=None, align="left"):
    width = text_width(text, size, pen)
    if align == "center":
        x = x - width / 2.0
    elif align == "right":
        x = x - width
    cov = text_coverage(text, x, baseline, size, pen)
    if shadow:
        colour_s, dx, dy, opacity = shadow
        img.paint(cov, colour_s, dx, dy, opacity)
    img.paint(cov, colour)
    return width


# ---------------------------------------------------------------------------------------------
# Colour quantisation: median cut to at most 256 colours
# ---------------------------------------------------------------------------------------------

def quantise(img, reserve_transparent):
    counts = {}
    for y in range(img.height):
        for x in range(img.width):
            if not img.clear[y][x]:
                c = img.pixels[y][x]
                counts[c] = counts.get(c, 0) + 1
    limit = 255 if reserve_transparent else 256
    colours = sorted(counts)
    if len(colours) <= limit:
        palette = colours
        lookup = {c: i for i, c in enumerate(palette)}
    else:
        boxes = [colours]
        while len(boxes) < limit:
            best = None
            for i, box in enumerate(boxes):
                if len(box) < 2:
                    continue
                spans = [max(c[k] for c in box) - min(c[k] for c in box) for k in range(3)]
                weight = max(spans) * sum(counts[c] for c in box) ** 0.5
                if best is None or weight > best[0]:
                    best = (weight, i, spans.index(max(spans)))
            if best is None or best[0] == 0:
                break
            _, i, channel = best
            box = sorted(boxes.pop(i), key=lambda c: c[channel])
            total = sum(counts[c] for c in box)
            acc = 0
            cut = 1
            for k, c in enumerate(box):
                acc += counts[c]
                if acc * 2 >= total:
                    cut = min(max(1, k), len(box) - 1)
                    break
            boxes += [box[:cut], box[cut:]]
        palette = []
        lookup = {}
        for box in sorted(boxes):
            n = sum(counts[c] for c in box)
            mean = tuple(int(round(sum(c[k] * counts[c] for c in box) / n)) for k in range(3))
            for c in box:
                lookup[c] = len(palette)
            palette.append(mean)
    transparent = None
    if reserve_transparent:
        transparent = len(palette)
        palette = palette + [(255, 255, 255)]
    indices = bytearray()
    for y in range(img.height):
        for x in range(img.width):
            indices.append(transparent if img.clear[y][x] else lookup[img.pixels[y][x]])
    return palette, bytes(indices), transparent


def encode_image(img):
    has_clear = any(any(row) for row in img.clear)
    palette, indices, transparent = quantise(img, has_clear)
    data = gif_bytes(img.width, img.height, palette, indices, transparent)
    # Every image is decoded again before it is written.
    w, h, _, decoded, t = gif_read(data)
    if (w, h, decoded, t) != (img.width, img.height, indices, transparent):
        raise AssertionError("GIF round trip failed")
    return data


# ---------------------------------------------------------------------------------------------
# The look of the site
# ---------------------------------------------------------------------------------------------

NAVY = hex_rgb("#17324F")
STEEL = hex_rgb("#2F5B8C")
INK = hex_rgb("#1E3A5F")
AMBER = hex_rgb("#E09A3A")
WHITE = (255, 255, 255)
PAGE_WIDTH = 760


def server_emblem(img, x, y, size):
    """A rounded tile with three rack units: the mark of the server's administration."""
    tile = Coverage()
    tile.rounded_rect(x, y, x + size, y + size, size * 0.2)
    cov = tile.pixels()
    face_top, face_bottom = hex_rgb("#F4F8FC"), hex_rgb("#A8BED8")
    for (px, py), c in cov.items():
        t = (py - y) / float(size)
        img.put(px, py, mix(face_top, face_bottom, t), c)
    edge = Coverage()
    edge.rounded_rect(x, y, x + size, y + size, size * 0.2)
    inner = Coverage()
    inner.rounded_rect(x + 1, y + 1, x + size - 1, y + size - 1, size * 0.2 - 1)
    inner_cov = inner.pixels()
    for key, c in edge.pixels().items():
        ring_c = c - inner_cov.get(key, 0.0)
        if ring_c > 0:
            img.put(key[0], key[1], hex_rgb("#0C1E33"), ring_c * 0.7)
    unit_h = size * 0.17
    gap = size * 0.075
    top = y + (size - 3 * unit_h - 2 * gap) / 2.0
    for k in range(3):
        uy = top + k * (unit_h + gap)
        unit = Coverage()
        unit.rounded_rect(x + size * 0.16, uy, x + size * 0.84, uy + unit_h, unit_h * 0.3)
        for (px, py), c in unit.pixels().items():
            t = (py - uy) / unit_h
            img.put(px, py, mix(hex_rgb("#3D6A9C"), hex_rgb("#1A3657"), t), c)
        led = Coverage()
        led.ellipse(x + size * 0.73, uy + unit_h / 2.0, unit_h * 0.2, unit_h * 0.2)
        img.paint(led.pixels(), hex_rgb("#7CE07C") if k < 2 else AMBER)
        for i in range(3):
            slot = Coverage()
            sx = x + size * (0.25 + 0.09 * i)
            slot.capsule(sx, uy + unit_h * 0.3, sx, uy + unit_h * 0.7, 0.6)
            img.paint(slot.pixels(), hex_rgb("#8FB0D4"), opacity=0.8)


def make_logo():
    """The header banner of every page."""
    w, h = PAGE_WIDTH, 72
    img = Image(w, h)
    img.vgradient(0, 0, w, h - 3, [(0.0, hex_rgb("#1B3A5E")), (0.55, hex_rgb("#244B77")),
                                    (1.0, hex_rgb("#2E5B8C"))])
    # A soft light from the right-hand side, and a fine highlight under the top edge.
    for y in range(h - 3):
        for x in range(w // 2, w):
            t = (x - w // 2) / float(w // 2)
            img.put(x, y, hex_rgb("#5C8CC0"), 0.22 * t * t)
    img.hline(0, w, 0, hex_rgb("#4D77A6"))
    img.vgradient(0, h - 3, w, h, [(0.0, hex_rgb("#F0B45A")), (1.0, hex_rgb("#C97F22"))])
    server_emblem(img, 18, 12, 46)
    shadow = (hex_rgb("#08162A"), 2, 2, 0.55)
    draw_text(img, "Pellmora", 80, 40, 25, 4.2, WHITE, shadow)
    draw_text(img, "Server Administration", 82, 59, 9.5, 1.55, hex_rgb("#C6D7EA"))
    draw_text(img, "version 3.0", w - 18, 59, 8, 1.3, hex_rgb("#9DB7D5"), align="right")
    return img


# Message boxes: background and border of each kind; the icons are drawn on the box colour.
MSG_ERROR_BG = hex_rgb("#FCEDEB")
MSG_INFO_BG = hex_rgb("#EDF3FA")
MSG_OK_BG = hex_rgb("#ECF7EC")


def make_icon(kind):
    """A round 24 x 24 message icon: error (!), information (i) or success (tick)."""
    bg, top, bottom = {
        "error": (MSG_ERROR_BG, hex_rgb("#E8675A"), hex_rgb("#B02A1E")),
        "info": (MSG_INFO_BG, hex_rgb("#6E9DD2"), hex_rgb("#2D5B91")),
        "ok": (MSG_OK_BG, hex_rgb("#6CC46C"), hex_rgb("#2E8A36")),
    }[kind]
    img = Image(24, 24, bg)
    disc = Coverage()
    disc.ellipse(12, 12, 11, 11)
    for (x, y), c in disc.pixels().items():
        img.put(x, y, mix(top, bottom, y / 23.0), c)
    gloss = Coverage()
    gloss.ellipse(12, 7.5, 7.5, 4.5)
    img.paint(gloss.pixels(), WHITE, opacity=0.25)
    mark = Coverage()
    if kind == "error":
        mark.capsule(12, 6.0, 12, 13.2, 1.45)
        mark.ellipse(12, 17.4, 1.6, 1.6)
    elif kind == "info":
        mark.ellipse(12, 6.8, 1.6, 1.6)
        mark.capsule(12, 10.6, 12, 17.6, 1.4)
    else:
        for (ax, ay), (bx, by) in [((6.8, 12.4), (10.4, 16.0)), ((10.4, 16.0), (17.2, 8.2))]:
            mark.capsule(ax, ay, bx, by, 1.45)
    img.paint(mark.pixels(), WHITE)
    return img


# Bars and table backgrounds: narrow tiles that the pages repeat across a table cell.
NAV_HEIGHT = 30
NAV_TOP, NAV_BOTTOM = hex_rgb("#F3F6F9"), hex_rgb("#D5DEE8")


def nav_background(img, x0, x1):
    img.vgradient(x0, 0, x1, NAV_HEIGHT - 1, [(0.0, NAV_TOP), (1.0, NAV_BOTTOM)])
    img.hline(x0, x1, 0, WHITE)
    img.hline(x0, x1, NAV_HEIGHT - 1, hex_rgb("#9AAABD"))


def make_nav_tile():
    img = Image(4, NAV_HEIGHT)
    nav_background(img, 0, 4)
    return img


def make_title_tile():
    """The title bar of a content box: white bold text is written over it by the page."""
    img = Image(4, 26)
    img.vgradient(0, 0, 4, 26, [(0.0, hex_rgb("#5A84B4")), (0.5, hex_rgb("#3F6A9C")),
                                (1.0, hex_rgb("#2C5585"))])
    img.hline(0, 4, 0, hex_rgb("#86A8CE"))
    img.hline(0, 4, 25, hex_rgb("#1F3F66"))
    return img


def make_band_tile():
    """The heading band of a group of form fields."""
    img = Image(4, 22)
    img.vgradient(0, 0, 4, 21, [(0.0, hex_rgb("#F7F9FB")), (1.0, hex_rgb("#E1E8F0"))])
    img.hline(0, 4, 21, hex_rgb("#C3CFDC"))
    return img


LOG_LINE = 17  # pixels per line of the event log listing; the page uses the same line height


def make_log_tile():
    """Alternating row stripes behind the event log listing."""
    img = Image(4, 2 * LOG_LINE, WHITE)
    img.fill(0, LOG_LINE, 4, 2 * LOG_LINE, hex_rgb("#F0F4F8"))
    return img


# Buttons: bevelled, with round corners cut out as transparency. The anti-aliased rim is
# blended over this neutral colour, which sits well on the white and light grey panels.
BUTTON_HEIGHT = 22
BUTTON_TEXT = 7.6   # capital height of button labels, px
BUTTON_PEN = 1.45   # bold
RIM_BACKDROP = hex_rgb("#EEF1F5")

BUTTON_STYLES = {
    # name: (border, face top, face bottom, inner highlight, text, text shadow)
    "normal": ("#6F87A6", "#FFFFFF", "#D7E1EC", "#FFFFFF", "#1E3A5F", None),
    "primary": ("#1D416D", "#6B98CC", "#2C5A8F", "#9ABDE3", "#FFFFFF", "#15304F"),
    "danger": ("#A14A3E", "#FFF6F4", "#EDCFC8", "#FFFFFF", "#8A2416", None),
    "disabled": ("#B7C0CB", "#F7F8FA", "#E7EBEF", "#FFFFFF", "#A2ACB8", None),
}


def arrow_icon(cov, kind, x, mid):
    """Paging marks: |< (first), < (prev), > (next), >| (last); 7 px wide, centred on mid."""
    h = 3.6
    if kind in ("first", "prev"):
        tri = [(x + 7, mid - h), (x + 7, mid + h), (x + 1.5, mid)]
    else:
        tri = [(x, mid - h), (x, mid + h), (x + 5.5, mid)]
    cov.polygon(tri)
    if kind == "first":
        cov.polygon([(x, mid - h), (x + 1.4, mid - h), (x + 1.4, mid + h), (x, mid + h)])
    if kind == "last":
        cov.polygon([(x + 5.6, mid - h), (x + 7, mid - h), (x + 7, mid + h), (x + 5.6, mid + h)])


def make_button(label, style="normal", arrow=None, min_width=64):
    border, top, bottom, highlight, text, text_shadow = (
        hex_rgb(c) if c else None for c in BUTTON_STYLES[style])
    tw = text_width(label, BUTTON_TEXT, BUTTON_PEN)
    arrow_w = 11 if arrow else 0
    w = max(min_width, int(math.ceil(tw)) + 24 + arrow_w)
    h = BUTTON_HEIGHT
    img = Image(w, h, RIM_BACKDROP)
    outer = Coverage()
    outer.rounded_rect(0, 0, w, h, 3.5)
    inner = Coverage()
    inner.rounded_rect(1, 1, w - 1, h - 1, 2.5)
    outer_cov, inner_cov = outer.pixels(), inner.pixels()
    for y in range(h):
        for x in range(w):
            a = outer_cov.get((x, y), 0.0)
            if a <= 0.02:
                img.clear[y][x] = True
                continue
            img.put(x, y, border, a)
            f = inner_cov.get((x, y), 0.0)
            if f > 0:
                face = mix(top, bottom, (y - 1) / float(h - 3))
                if y == 1:
                    face = mix(face, highlight, 0.8)
                img.put(x, y, face, f)
    content_w = tw + arrow_w
    x0 = (w - content_w) / 2.0
    baseline = 15.2
    mid = baseline - BUTTON_TEXT / 2.0
    if arrow in ("first", "prev"):
        ax, tx = x0, x0 + arrow_w
    else:
        ax, tx = x0 + tw + 4, x0
    cov = text_coverage(label, tx, baseline, BUTTON_TEXT, BUTTON_PEN)
    if arrow:
        marks = Coverage()
        arrow_icon(marks, arrow, ax, mid)
        for key, c in marks.pixels().items():
            cov[key] = max(cov.get(key, 0.0), c)
    if text_shadow:
        img.paint(cov, text_shadow, 0, 1, 0.45)
    img.paint(cov, text)
    return img


# Navigation tabs, drawn on the navigation bar's own background.
NAV_ICON_COLOUR = hex_rgb("#3C638F")


class Shapes:
    """Records shapes drawn around an origin, to be painted at any place and scale."""

    def __init__(self):
        self.ops = []

    def capsule(self, ax, ay, bx, by, radius):
        self.ops.append(("capsule", ax, ay, bx, by, radius))

    def polygon(self, points):
        self.ops.append(("polygon", points))

    def ellipse(self, cx, cy, rx, ry):
        self.ops.append(("ellipse", cx, cy, rx, ry))

    def coverage(self, x, y, scale=1.0):
        cov = Coverage()
        for op in self.ops:
            if op[0] == "capsule":
                _, ax, ay, bx, by, r = op
                cov.capsule(x + ax * scale, y + ay * scale, x + bx * scale, y + by * scale,
                            r * scale)
            elif op[0] == "polygon":
                cov.polygon([(x + px * scale, y + py * scale) for px, py in op[1]])
            else:
                _, cx, cy, rx, ry = op
                cov.ellipse(x + cx * scale, y + cy * scale, rx * scale, ry * scale)
        return cov.pixels()


def nav_symbol(kind):
    """A symbol 13 units wide and 13 high around y = 0: house, sliders, page, door with an
    arrow, key, wrench. The page symbol's lines are a second Shapes (drawn in another colour)."""
    cov = Shapes()
    lines = Shapes()
    x, mid = 0.0, 0.0
    if kind == "main":
        cov.polygon([(x, mid - 0.5), (x + 6.5, mid - 6.5), (x + 13, mid - 0.5)])
        cov.polygon([(x + 2, mid - 1), (x + 11, mid - 1), (x + 11, mid + 6),
                     (x + 7.8, mid + 6), (x + 7.8, mid + 2), (x + 5.2, mid + 2),
                     (x + 5.2, mid + 6), (x + 2, mid + 6)])
    elif kind == "options":
        for k, knob in enumerate((8.5, 3.5, 6.5)):
            y = mid - 4.5 + k * 4.5
            cov.capsule(x + 0.5, y, x + 12.5, y, 0.7)
            cov.ellipse(x + knob, y, 2.0, 2.0)
    elif kind == "eventlog":
        cov.polygon([(x + 1, mid - 6.5), (x + 12, mid - 6.5), (x + 12, mid + 6.5),
                     (x + 1, mid + 6.5)])
        for k in range(4):
            y = mid - 3.8 + k * 2.6
            lines.capsule(x + 3.2, y, x + 9.8, y, 0.5)
    elif kind == "logout":
        cov.polygon([(x, mid - 6.5), (x + 7, mid - 6.5), (x + 7, mid - 3.5), (x + 5.5, mid - 3.5),
                     (x + 5.5, mid - 5), (x + 1.5, mid - 5), (x + 1.5, mid + 5),
                     (x + 5.5, mid + 5), (x + 5.5, mid + 3.5), (x + 7, mid + 3.5),
                     (x + 7, mid + 6.5), (x, mid + 6.5)])
        cov.capsule(x + 4.5, mid, x + 10, mid, 0.9)
        cov.polygon([(x + 9, mid - 3.6), (x + 13.2, mid), (x + 9, mid + 3.6)])
    elif kind == "login":
        cov.ellipse(x + 3.5, mid, 3.4, 3.4)
        cov.capsule(x + 6, mid, x + 13, mid, 1.0)
        cov.capsule(x + 11.5, mid, x + 11.5, mid + 3, 0.8)
        cov.capsule(x + 9, mid, x + 9, mid + 2.4, 0.8)
    elif kind == "setup":
        cov.capsule(x + 1.5, mid + 5, x + 8, mid - 1.5, 1.3)
        cov.ellipse(x + 9.2, mid - 2.8, 3.6, 3.6)
    return cov, lines


NAV_TABS = {
    # file stem: (label, icon)
    "main": ("Main", "main"),
    "options": ("Options", "options"),
    "eventlog": ("Event Log", "eventlog"),
    "logout": ("Logout", "logout"),
    "login": ("Login", "login"),
    "setup": ("Set-up", "setup"),
}


def make_task_icon(kind):
    """A 40 x 40 tile with a navigation symbol, for the task list of the main page."""
    img = Image(40, 40, WHITE)
    tile = Coverage()
    tile.rounded_rect(1, 1, 39, 39, 7)
    for (x, y), c in tile.pixels().items():
        img.put(x, y, mix(hex_rgb("#5D8BC0"), hex_rgb("#244B77"), y / 39.0), c)
    gloss = Coverage()
    gloss.rounded_rect(3, 2, 37, 18, 6)
    img.paint(gloss.pixels(), WHITE, opacity=0.14)
    symbol, lines = nav_symbol(kind)
    img.paint(symbol.coverage(20 - 6.5 * 1.9, 20.5, 1.9), WHITE)
    img.paint(lines.coverage(20 - 6.5 * 1.9, 20.5, 1.9), hex_rgb("#3A659A"))
    return img


def make_nav_tab(stem, active):
    label, icon = NAV_TABS[stem]
    tw = text_width(label, 8.2, 1.5)
    w = max(96, int(math.ceil(tw)) + 44)
    h = NAV_HEIGHT
    img = Image(w, h)
    nav_background(img, 0, w)
    mid = h / 2.0
    if active:
        img.vgradient(0, 1, w, h - 1, [(0.0, hex_rgb("#4C78AA")), (1.0, hex_rgb("#244B77"))])
        img.hline(0, w, 1, hex_rgb("#7FA3CC"))
        img.fill(0, h - 3, w, h, AMBER)
        colour, icon_colour = WHITE, hex_rgb("#D6E4F3")
        mid -= 1
    else:
        colour, icon_colour = INK, NAV_ICON_COLOUR
        # The separator faces the neighbouring tabs: Logout stands alone at the right end.
        edge = 0 if stem == "logout" else w - 2
        img.vline(edge, 4, h - 4, hex_rgb("#AEBBCB"))
        img.vline(edge + 1, 4, h - 4, WHITE)
    x0 = (w - (tw + 19)) / 2.0
    symbol, lines = nav_symbol(icon)
    img.paint(symbol.coverage(x0, mid), icon_colour)
    img.paint(lines.coverage(x0, mid), hex_rgb("#4C78AA") if active else hex_rgb("#EAF0F6"))
    draw_text(img, label, x0 + 19, mid + 4.1, 8.2, 1.5, colour)
    return img


def all_images():
    """Every image of the site: file name -> Image."""
    return {
        "logo.gif": make_logo(),
        "icon_error.gif": make_icon("error"),
        "btn_submit.gif": make_button("Submit", "primary"),
        "btn_cancel.gif": make_button("Cancel"),
        "btn_login.gif": make_button("Login", "primary"),
        "btn_apply.gif": make_button("Apply", "primary"),
        "btn_refresh.gif": make_button("Refresh"),
        "btn_clearlog.gif": make_button("Clear Log File", "danger"),
        "btn_first.gif": make_button("First", arrow="first"),
        "btn_prev.gif": make_button("Prev", arrow="prev"),
        "btn_next.gif": make_button("Next", arrow="next"),
        "btn_last.gif": make_button("Last", arrow="last"),
        "btn_first_off.gif": make_button("First", "disabled", arrow="first"),
        "btn_prev_off.gif": make_button("Prev", "disabled", arrow="prev"),
        "btn_next_off.gif": make_button("Next", "disabled", arrow="next"),
        "btn_last_off.gif": make_button("Last", "disabled", arrow="last"),
        "bg_nav.gif": make_nav_tile(),
        "nav_main.gif": make_nav_tab("main", False),
        "nav_main_on.gif": make_nav_tab("main", True),
        "nav_options.gif": make_nav_tab("options", False),
        "nav_options_on.gif": make_nav_tab("options", True),
        "nav_eventlog.gif": make_nav_tab("eventlog", False),
        "nav_eventlog_on.gif": make_nav_tab("eventlog", True),
        "nav_logout.gif": make_nav_tab("logout", False),
        "nav_login_on.gif": make_nav_tab("login", True),
        "nav_setup_on.gif": make_nav_tab("setup", True),
        "task_options.gif": make_task_icon("options"),
        "task_eventlog.gif": make_task_icon("eventlog"),
        "task_logout.gif": make_task_icon("logout"),
        "bg_title.gif": make_title_tile(),
        "bg_band.gif": make_band_tile(),
        "bg_log.gif": make_log_tile(),
        "icon_info.gif": make_icon("info"),
        "icon_ok.gif": make_icon("ok"),
    }


def check(directory):
    """Decodes every .gif in the directory, and compares the images this script draws with
    their files, so that a change to the drawing cannot go uncommitted. Returns the exit code."""
    names = sorted(n for n in os.listdir(directory) if n.endswith(".gif"))
    drawn = {name: encode_image(img) for name, img in all_images().items()}
    failures = 0
    for name in names:
        with open(os.path.join(directory, name), "rb") as f:
            data = f.read()
        try:
            w, h, palette, _, transparent = gif_read(data)
        except (ValueError, IndexError) as error:
            print("%-24s BROKEN: %s" % (name, error))
            failures += 1
            continue
        note = ""
        if name in drawn and drawn[name] != data:
            note = "  STALE: differs from what the script draws (run it again)"
            failures += 1
        print("%-24s %4d x %-3d %3d colours%s%s" % (
            name, w, h, len(palette), ", transparent" if transparent is not None else "", note))
    for name in sorted(set(drawn) - set(names)):
        print("%-24s MISSING" % name)
        failures += 1
    return 1 if failures else 0


def main(argv):
    root = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
    site = os.path.join(root, "site")
    if len(argv) >= 2 and argv[1] == "--check":
        return check(argv[2] if len(argv) > 2 else site)
    out = site
    if len(argv) >= 3 and argv[1] == "--out":
        out = argv[2]
    elif len(argv) > 1:
        print(__doc__)
        return 2
    os.makedirs(out, exist_ok=True)
    for name, img in all_images().items():
        with open(os.path.join(out, name), "wb") as f:
            f.write(encode_image(img))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
