#!/usr/bin/env python3
"""Draws the orvflash application icon and writes it as a multi-size .ico.

The artwork (a chip with a download arrow) is drawn from signed distance
functions, so every size is rendered directly with analytic edge coverage
instead of being scaled from one bitmap. Standard library only, and nothing
in the file changes from run to run but the drawing.

The build takes the checked-in res/icon/orvflash.ico; after a change to the
drawing, write it again from the top of the repository and commit it:

  python3 res/icon/make_icon.py res/icon/orvflash.ico [--png-dir DIR]
  --png-dir  also writes each size as DIR/icon-<size>.png, for review.
"""

import argparse
import math
import os
import struct
import sys
import zlib

# An icon directory entry holds sizes up to 256 (a width byte of 0), so nothing larger.
SIZES = (16, 24, 32, 48, 64, 96, 128, 192, 256)
# From this size on an image is stored as PNG, below as a 32-bit bitmap. Windows reads PNG
# images at any size from Vista on (the program needs 7); XP, which cannot, went up to 48.
PNG_FROM = 64
# Below this, key edges are put on whole pixels so small icons stay crisp.
SNAP_BELOW = 96


def hex_rgb(value):
    return ((value >> 16) & 255) / 255.0, ((value >> 8) & 255) / 255.0, (value & 255) / 255.0


def lerp_rgb(a, b, t):
    t = min(max(t, 0.0), 1.0)
    return tuple(a[i] + (b[i] - a[i]) * t for i in range(3))


PIN = hex_rgb(0xB4C0CC)
PIN_SHADE = hex_rgb(0x8794A3)
BODY_TOP = hex_rgb(0x3478B4)
BODY_BOTTOM = hex_rgb(0x173A60)
ARROW_TOP = hex_rgb(0xFFC23D)
ARROW_BOTTOM = hex_rgb(0xF28705)
BAR = hex_rgb(0xE9F1F8)


# Signed distance functions in pixel units: negative inside.

def rounded_box(x0, y0, x1, y1, r):
    cx, cy = (x0 + x1) / 2.0, (y0 + y1) / 2.0
    hx, hy = (x1 - x0) / 2.0 - r, (y1 - y0) / 2.0 - r

    def sdf(x, y):
        qx = abs(x - cx) - hx
        qy = abs(y - cy) - hy
        if qx > 0.0 and qy > 0.0:
            return math.sqrt(qx * qx + qy * qy) - r
        return (qx if qx > qy else qy) - r

    return sdf


def convex_polygon(points):
    """Points in clockwise order on screen (y down); exact inside, a lower bound outside."""
    edges = []
    n = len(points)
    for i in range(n):
        ax, ay = points[i]
        bx, by = points[(i + 1) % n]
        ex, ey = bx - ax, by - ay
        length = math.hypot(ex, ey)
        nx, ny = ey / length, -ex / length
        edges.append((nx, ny, nx * ax + ny * ay))

    def sdf(x, y):
        return max(nx * x + ny * y - c for nx, ny, c in edges)

    return sdf


def union(*parts):
    def sdf(x, y):
        return min(p(x, y) for p in parts)

    return sdf


def ring(inner, half_width):
    def sdf(x, y):
        return abs(inner(x, y)) - half_width

    return sdf


class Canvas:
    """Premultiplied RGBA rows of floats."""

    def __init__(self, size):
        self.size = size
        self.rows = [[0.0] * (4 * size) for _ in range(size)]

    def paint(self, sdf, bbox, colour_at_row, alpha=1.0):
        """Composites a shape over the canvas.

        A distance function changes by at most one per pixel, so along a row
        the distance tells how many pixels can be skipped or filled whole;
        only pixels near an edge are blended one by one.
        """
        size = self.size
        x0 = max(0, int(math.floor(bbox[0])) - 1)
        y0 = max(0, int(math.floor(bbox[1])) - 1)
        x1 = min(size, int(math.ceil(bbox[2])) + 1)
        y1 = min(size, int(math.ceil(bbox[3])) + 1)
        for y in range(y0, y1):
            cy = y + 0.5
            r, g, b = colour_at_row(cy)
            row = self.rows[y]
            x = x0
            while x < x1:
                d = sdf(x + 0.5, cy)
                if d >= 0.5:
                    x += int(d - 0.5) + 1
                    continue
                if d <= -0.5:
                    n = min(int(-d - 0.5) + 1, x1 - x)
                    if alpha >= 1.0:
                        row[4 * x:4 * (x + n)] = [r, g, b, 1.0] * n
                    else:
                        for i in range(x, x + n):
                            self._blend(row, i, r, g, b, alpha)
                    x += n
                    continue
                self._blend(row, x, r, g, b, alpha * (0.5 - d))
                x += 1

    @staticmethod
    def _blend(row, x, r, g, b, a):
        k = 1.0 - a
        i = 4 * x
        row[i] = r * a + row[i] * k
        row[i + 1] = g * a + row[i + 1] * k
        row[i + 2] = b * a + row[i + 2] * k
        row[i + 3] = a + row[i + 3] * k

    def rgba_rows(self):
        """Rows of straight (not premultiplied) 8-bit RGBA, top row first."""
        out = []
        for row in self.rows:
            data = bytearray(4 * self.size)
            for i in range(0, 4 * self.size, 4):
                a = row[i + 3]
                if a <= 0.0:
                    continue
                inv = 1.0 / a
                data[i] = min(255, int(row[i] * inv * 255.0 + 0.5))
                data[i + 1] = min(255, int(row[i + 1] * inv * 255.0 + 0.5))
                data[i + 2] = min(255, int(row[i + 2] * inv * 255.0 + 0.5))
                data[i + 3] = min(255, int(a * 255.0 + 0.5))
            out.append(bytes(data))
        return out


def draw(size):
    s = float(size)
    snap = size < SNAP_BELOW
    half = s / 2.0

    def q(v):
        # Rounds towards whole pixels symmetrically about the centre line.
        if not snap:
            return v
        if v <= half:
            return math.floor(v + 0.5)
        return s - math.floor(s - v + 0.5)

    canvas = Canvas(size)

    # Chip body and its pins.
    b0, b1 = q(0.17 * s), q(0.83 * s)
    radius = 0.09 * s
    pin_out = q(0.05 * s)
    pin_in = b0 + 0.04 * s  # pins reach under the body so no seam shows
    pins = 2 if size < 24 else 3 if size < 32 else 4
    pitch = (b1 - b0 - 2.0 * radius) / pins
    width = pitch * 0.5
    if snap:
        width = max(1, int(width + 0.5))
        # An odd pin count puts a pin on the centre line; its width must share the size's parity.
        if pins % 2 == 1 and (width % 2) != (size % 2):
            width += 1
    pin_radius = min(0.015 * s, width / 2.0)

    for i in range(pins):
        c = half + (i - (pins - 1) / 2.0) * pitch
        lo, hi = q(c - width / 2.0), q(c + width / 2.0)
        if snap and hi - lo < 1:
            hi = lo + 1
        # Left and right rows (horizontal pins), then top and bottom rows.
        boxes = (
            (pin_out, lo, pin_in, hi),
            (s - pin_in, lo, s - pin_out, hi),
            (lo, pin_out, hi, pin_in),
            (lo, s - pin_in, hi, s - pin_out),
        )
        for box in boxes:
            sdf = rounded_box(box[0], box[1], box[2], box[3], pin_radius)
            canvas.paint(sdf, box, lambda cy: lerp_rgb(PIN, PIN_SHADE, cy / s))

    body = rounded_box(b0, b0, b1, b1, radius)
    canvas.paint(body, (b0, b0, b1, b1),
                 lambda cy: lerp_rgb(BODY_TOP, BODY_BOTTOM, (cy - b0) / (b1 - b0)))

    if size >= 48:
        # A faint inner edge reads as a bevel at sizes where it is wider than a hairline.
        inset = 0.035 * s
        inner = rounded_box(b0 + inset, b0 + inset, b1 - inset, b1 - inset, radius - inset * 0.6)
        half_w = max(0.5, 0.007 * s)
        canvas.paint(ring(inner, half_w), (b0, b0, b1, b1), lambda cy: (1.0, 1.0, 1.0), 0.16)
    if size >= 64:
        # Pin 1 marker, as on a real package.
        mx, my, mr = b0 + 0.085 * s, b0 + 0.085 * s, 0.022 * s
        dot = lambda x, y: math.hypot(x - mx, y - my) - mr
        canvas.paint(dot, (mx - mr, my - mr, mx + mr, my + mr), lambda cy: (1.0, 1.0, 1.0), 0.35)

    # Download arrow onto a bar: firmware going into the device.
    shaft_hw = 0.065 * s
    shaft_l, shaft_r = q(half - shaft_hw), q(half + shaft_hw)
    shaft_top = q(0.27 * s)
    head_top = q(0.46 * s)
    tip = 0.665 * s
    head_l, head_r = q(half - 0.17 * s), q(half + 0.17 * s)
    shaft = rounded_box(shaft_l, shaft_top, shaft_r, head_top + 1.0, min(0.02 * s, shaft_hw))
    head = convex_polygon([(head_l, head_top), (head_r, head_top), (half, tip)])
    arrow = union(shaft, head)
    canvas.paint(arrow, (head_l, shaft_top, head_r, tip),
                 lambda cy: lerp_rgb(ARROW_TOP, ARROW_BOTTOM, (cy - shaft_top) / (tip - shaft_top)))

    bar_t, bar_b = q(0.70 * s), q(0.755 * s)
    if snap and bar_b - bar_t < 1:
        bar_b = bar_t + 1
    bar_l, bar_r = q(0.31 * s), q(0.69 * s)
    bar = rounded_box(bar_l, bar_t, bar_r, bar_b, min((bar_b - bar_t) / 2.0, 0.02 * s))
    canvas.paint(bar, (bar_l, bar_t, bar_r, bar_b), lambda cy: BAR)
    return canvas


def png_bytes(size, rows):
    """8-bit RGBA, each row filtered by the one above ("Up"), which packs this artwork best."""
    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body))

    raw = bytearray()
    previous = bytes(4 * size)
    for row in rows:
        raw += b"\x02" + bytes((a - b) & 255 for a, b in zip(row, previous))
        previous = row
    header = struct.pack(">IIBBBBB", size, size, 8, 6, 0, 0, 0)
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header)
            + chunk(b"IDAT", zlib.compress(bytes(raw), 9)) + chunk(b"IEND", b""))


def dib_bytes(size, rows):
    """BITMAPINFOHEADER (height doubled for the mask), BGRA bottom-up, then the AND mask."""
    mask_stride = (size + 31) // 32 * 4
    pixels = bytearray()
    mask = bytearray()
    for row in reversed(rows):
        bgra = bytearray(row)
        bgra[0::4], bgra[2::4] = row[2::4], row[0::4]
        pixels += bgra
        bits = bytearray(mask_stride)
        for x in range(size):
            if row[4 * x + 3] == 0:
                bits[x >> 3] |= 0x80 >> (x & 7)
        mask += bits
    header = struct.pack("<IiiHHIIiiII", 40, size, 2 * size, 1, 32, 0, len(pixels), 0, 0, 0, 0)
    return header + bytes(pixels) + bytes(mask)


def ico_bytes(images):
    """images: (size, encoded image) pairs, written in the given order."""
    out = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for size, blob in images:
        # The width and height bytes hold 1 to 255; 0 stands for 256.
        out += struct.pack("<BBBBHHII", size & 255, size & 255, 0, 0, 1, 32, len(blob), offset)
        offset += len(blob)
    return out + b"".join(blob for _, blob in images)


def main(argv):
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("output")
    parser.add_argument("--png-dir")
    args = parser.parse_args(argv)

    images = []
    for size in SIZES:
        rows = draw(size).rgba_rows()
        if args.png_dir:
            os.makedirs(args.png_dir, exist_ok=True)
            with open(os.path.join(args.png_dir, "icon-%d.png" % size), "wb") as f:
                f.write(png_bytes(size, rows))
        images.append((size, (png_bytes if size >= PNG_FROM else dib_bytes)(size, rows)))
    # Written beside the target and renamed, so a failed run leaves no half-written icon.
    tmp = args.output + ".tmp"
    with open(tmp, "wb") as f:
        f.write(ico_bytes(images))
    os.replace(tmp, args.output)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
