#!/usr/bin/env python3
"""Draws the program's images (our own artwork) into resources/images.

Only the standard library is used: each pixel is computed from simple shapes,
supersampled 4x4 for smooth edges, and written as an RGBA PNG.
Run from anywhere: python3 scripts/draw-images.py
"""
import math
import os
import struct
import zlib

OUT = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "resources", "images")
SS = 4  # supersampling per axis


def write_png(path, width, height, pixels):
    raw = bytearray()
    for y in range(height):
        raw.append(0)
        for x in range(width):
            raw.extend(pixels[y * width + x])

    def chunk(kind, data):
        return (struct.pack(">I", len(data)) + kind + data
                + struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF))

    png = b"\x89PNG\r\n\x1a\n"
    png += chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 6, 0, 0, 0))
    png += chunk(b"IDAT", zlib.compress(bytes(raw), 9))
    png += chunk(b"IEND", b"")
    with open(path, "wb") as f:
        f.write(png)


def over(dst, src):
    """Source-over blend of two (r, g, b, a) tuples with float channels 0..1."""
    sa = src[3]
    da = dst[3] * (1 - sa)
    a = sa + da
    if a == 0:
        return (0.0, 0.0, 0.0, 0.0)
    return tuple((src[i] * sa + dst[i] * da) / a for i in range(3)) + (a,)


def render(width, height, shade):
    """shade(u, v) -> (r, g, b, a) in 0..1 for a point in pixel units."""
    pixels = []
    for y in range(height):
        for x in range(width):
            acc = [0.0, 0.0, 0.0, 0.0]
            for sy in range(SS):
                for sx in range(SS):
                    r, g, b, a = shade(x + (sx + 0.5) / SS, y + (sy + 0.5) / SS)
                    acc[0] += r * a
                    acc[1] += g * a
                    acc[2] += b * a
                    acc[3] += a
            n = SS * SS
            a = acc[3] / n
            if a > 0:
                px = (acc[0] / acc[3], acc[1] / acc[3], acc[2] / acc[3], a)
            else:
                px = (0, 0, 0, 0)
            pixels.append(bytes(max(0, min(255, round(c * 255))) for c in px))
    return pixels


def rounded_rect(u, v, x0, y0, x1, y1, r):
    cx = min(max(u, x0 + r), x1 - r)
    cy = min(max(v, y0 + r), y1 - r)
    return (u - cx) ** 2 + (v - cy) ** 2 <= r * r and x0 <= u <= x1 and y0 <= v <= y1


def mix(c0, c1, t):
    t = max(0.0, min(1.0, t))
    return tuple(c0[i] + (c1[i] - c0[i]) * t for i in range(3))


TEAL_DARK = (0.05, 0.27, 0.36)
TEAL_LIGHT = (0.16, 0.56, 0.62)
ORANGE = (0.96, 0.55, 0.13)
WHITE = (0.97, 0.98, 0.99)


def server_patch(size):
    """Rounded tile with a three-unit server rack and an orange patch band."""
    s = size / 256.0

    def shade(u, v):
        px = (0.0, 0.0, 0.0, 0.0)
        if rounded_rect(u, v, 8 * s, 8 * s, 248 * s, 248 * s, 40 * s):
            px = mix(TEAL_LIGHT, TEAL_DARK, (u + v) / (2 * size)) + (1.0,)
        for i in range(3):
            top = (58 + i * 50) * s
            if rounded_rect(u, v, 56 * s, top, 200 * s, top + 38 * s, 8 * s):
                px = over(px, WHITE + (1.0,))
                # status light and vents of each unit
                if (u - 76 * s) ** 2 + (v - (top + 19 * s)) ** 2 <= (7 * s) ** 2:
                    px = over(px, (0.2, 0.75, 0.35, 1.0))
                elif 110 * s <= u <= 184 * s and abs(v - (top + 19 * s)) <= 3 * s:
                    px = over(px, TEAL_DARK + (0.55,))
        # the patch: a diagonal band across the lower right corner
        d = (u - v) / math.sqrt(2)
        along = (u + v) / math.sqrt(2)
        if abs(d - 0) <= 22 * s and 250 * s <= along <= 330 * s:
            px = over(px, ORANGE + (0.95,))
            if abs(d) <= 16 * s and int((along - 250 * s) / (10 * s)) % 2 == 0 and abs(d) < 6 * s:
                px = over(px, WHITE + (0.8,))
        return px

    return render(size, size, shade)


def banner(width, height):
    """Tall side panel: dark gradient, the rack motif near the top, soft stripes."""

    def shade(u, v):
        base = mix((0.08, 0.35, 0.44), (0.02, 0.12, 0.18), v / height)
        px = base + (1.0,)
        if int((u + v) / 18) % 2 == 0:
            px = over(px, (1.0, 1.0, 1.0, 0.03))
        for i in range(3):
            top = 60 + i * 34
            if rounded_rect(u, v, 30, top, 120, top + 24, 5):
                px = over(px, WHITE + (0.92,))
                if (u - 42) ** 2 + (v - (top + 12)) ** 2 <= 16:
                    px = over(px, (0.2, 0.75, 0.35, 1.0))
        if abs((u - v + 90) / math.sqrt(2)) <= 12 and 150 <= v <= 200 and 80 <= u <= 135:
            px = over(px, ORANGE + (0.95,))
        if 430 <= v <= 434 and 20 <= u <= 130:
            px = over(px, ORANGE + (0.9,))
        return px

    return render(width, height, shade)


def updater(size):
    """Small round badge with a downward arrow: 'fetching updates'."""
    c = size / 2.0

    def shade(u, v):
        px = (0.0, 0.0, 0.0, 0.0)
        r = math.hypot(u - c, v - c)
        if r <= c - 0.5:
            px = mix(TEAL_LIGHT, TEAL_DARK, v / size) + (1.0,)
        if r <= c - 0.5 and r >= c - 2.5:
            px = over(px, WHITE + (0.6,))
        # arrow: shaft and head
        if abs(u - c) <= 2.2 and 7 <= v <= 17:
            px = over(px, WHITE + (1.0,))
        if 15 <= v <= 25 and abs(u - c) <= (25 - v) * 0.9:
            px = over(px, WHITE + (1.0,))
        return px

    return render(size, size, shade)


def gear(size, light=(0.55, 0.58, 0.62), dark=(0.30, 0.32, 0.36)):
    """An eight-tooth gear with a hole; grey, or orange for the pressed button."""
    c = size / 2.0

    def shade(u, v):
        r = math.hypot(u - c, v - c)
        ang = math.atan2(v - c, u - c)
        tooth = 0.5 + 0.5 * math.copysign(1, math.cos(8 * ang))
        outer = 9.0 + 3.0 * tooth
        if r <= outer and r >= 3.5:
            return mix(light, dark, v / size) + (1.0,)
        return (0.0, 0.0, 0.0, 0.0)

    return render(size, size, shade)


def main():
    os.makedirs(OUT, exist_ok=True)
    jobs = [
        ("Brivex_Server_Patch_256.png", 256, 256, lambda: server_patch(256)),
        ("Brivex_Server_Patch_128.png", 128, 128, lambda: server_patch(128)),
        ("Brivex_Server_Patch_150x480.png", 150, 480, lambda: banner(150, 480)),
        ("BrivexUpdater32.png", 32, 32, lambda: updater(32)),
        ("gear2.png", 26, 26, lambda: gear(26)),
        ("gear.png", 26, 26, lambda: gear(26, ORANGE, (0.70, 0.35, 0.05))),
    ]
    for name, w, h, draw in jobs:
        write_png(os.path.join(OUT, name), w, h, draw())
        print("wrote", name)


if __name__ == "__main__":
    main()
