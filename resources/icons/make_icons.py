#!/usr/bin/env python3
"""Draws the panel's button icons as 24x24 PNGs, and 48x48 "@2x" ones that Qt picks on screens
scaled to 200 % (run again after changing a shape)."""
import math
import struct
import zlib

S = 24
K = 1  # the scale being drawn: shapes are given in 24x24 units


def png(path, px):
    raw = b"".join(b"\0" + bytes(c for p in row for c in p) for row in px)

    def chunk(tag, data):
        return struct.pack(">I", len(data)) + tag + data + struct.pack(">I", zlib.crc32(tag + data))

    with open(path, "wb") as f:
        f.write(b"\x89PNG\r\n\x1a\n")
        f.write(chunk(b"IHDR", struct.pack(">IIBBBBB", S * K, S * K, 8, 6, 0, 0, 0)))
        f.write(chunk(b"IDAT", zlib.compress(raw, 9)))
        f.write(chunk(b"IEND", b""))


def canvas():
    return [[(0, 0, 0, 0) for _ in range(S * K)] for _ in range(S * K)]


def hexrgb(h):
    return tuple(int(h[i:i + 2], 16) for i in (1, 3, 5)) + (255,)


def fill(px, inside, colour):
    """Sets every pixel whose 4x4 subsamples are mostly inside; edges get partial alpha."""
    c = hexrgb(colour)
    for y in range(S * K):
        for x in range(S * K):
            n = sum(inside((x + (i + .5) / 4) / K, (y + (j + .5) / 4) / K)
                    for i in range(4) for j in range(4))
            if n:
                a = n / 16
                old = px[y][x]
                oa = old[3] / 255
                na = a + oa * (1 - a)
                mix = [round((c[k] * a + old[k] * oa * (1 - a)) / na) for k in range(3)]
                px[y][x] = (*mix, round(na * 255))


def rect(x0, y0, x1, y1):
    return lambda x, y: x0 <= x <= x1 and y0 <= y <= y1


def disc(cx, cy, r):
    return lambda x, y: (x - cx) ** 2 + (y - cy) ** 2 <= r * r


def ring(cx, cy, r, w):
    return lambda x, y: (r - w / 2) ** 2 <= (x - cx) ** 2 + (y - cy) ** 2 <= (r + w / 2) ** 2


def ellipse(cx, cy, rx, ry):
    return lambda x, y: ((x - cx) / rx) ** 2 + ((y - cy) / ry) ** 2 <= 1


def line(x0, y0, x1, y1, w):
    def f(x, y):
        dx, dy = x1 - x0, y1 - y0
        t = max(0, min(1, ((x - x0) * dx + (y - y0) * dy) / (dx * dx + dy * dy)))
        return math.hypot(x - x0 - t * dx, y - y0 - t * dy) <= w / 2
    return f


def polygon(*pts):
    def f(x, y):
        inside = False
        for (x0, y0), (x1, y1) in zip(pts, pts[1:] + pts[:1]):
            if (y0 > y) != (y1 > y) and x < x0 + (y - y0) * (x1 - x0) / (y1 - y0):
                inside = not inside
        return inside
    return f


def outline(x0, y0, x1, y1, w):
    return lambda x, y: rect(x0, y0, x1, y1)(x, y) and not rect(x0 + w, y0 + w, x1 - w, y1 - w)(x, y)


def draw():
    icons = {}

    p = canvas()
    for y in (5, 11, 17):
        fill(p, rect(4, y, 20, y + 3), "#2b4c7e")
    icons["menu"] = p

    p = canvas()
    fill(p, ring(12, 12, 8, 2), "#1f7a4d")
    fill(p, lambda x, y: abs(((x - 12) / 3.5) ** 2 + ((y - 12) / 8) ** 2 - 1) < .25, "#1f7a4d")
    fill(p, line(4, 12, 20, 12, 1.5), "#1f7a4d")
    icons["openurl"] = p

    p = canvas()
    fill(p, rect(3, 6, 21, 18), "#f4e7b0")
    fill(p, outline(3, 6, 21, 18, 1.5), "#8a6d1c")
    fill(p, line(3, 6, 12, 13, 1.5), "#8a6d1c")
    fill(p, line(12, 13, 21, 6, 1.5), "#8a6d1c")
    icons["sendprivate"] = p

    p = canvas()
    fill(p, rect(3, 4, 21, 20), "#d9ecf7")
    fill(p, outline(3, 4, 21, 20, 1.5), "#2b4c7e")
    fill(p, line(12, 4, 12, 20, 1.5), "#2b4c7e")
    fill(p, line(3, 12, 21, 12, 1.5), "#2b4c7e")
    fill(p, disc(7.5, 8, 1.8), "#c0392b")
    icons["showrooms"] = p

    p = canvas()
    fill(p, disc(12, 12, 9.5), "#b5651d")
    fill(p, disc(12, 12, 8), "#fbe3c2")
    fill(p, lambda x, y: ring(12, 9.5, 3, 2)(x, y) and not (x < 12 and y > 9.5), "#b5651d")
    fill(p, line(12, 12.5, 12, 15, 2), "#b5651d")
    fill(p, disc(12, 18, 1.3), "#b5651d")
    icons["ask"] = p

    p = canvas()
    fill(p, disc(12, 12, 9.5), "#2b4c7e")
    fill(p, lambda x, y: ring(12, 9, 3, 2.2)(x, y) and not (x < 12 and y > 9), "#ffffff")
    fill(p, line(12, 12, 12, 14.5, 2.2), "#ffffff")
    fill(p, disc(12, 18, 1.4), "#ffffff")
    icons["help"] = p

    p = canvas()
    fill(p, disc(12, 12, 9.5), "#9a7a00")
    fill(p, disc(12, 12, 8.3), "#ffd84d")
    fill(p, disc(9, 10, 1.4), "#333333")
    fill(p, disc(15, 10, 1.4), "#333333")
    fill(p, lambda x, y: ring(12, 11, 5, 1.5)(x, y) and y > 13, "#333333")
    icons["emote"] = p

    p = canvas()
    fill(p, ellipse(13, 9, 8.5, 6), "#555555")
    fill(p, ellipse(13, 9, 7.2, 4.8), "#ffffff")
    fill(p, disc(7, 17, 2.2), "#555555")
    fill(p, disc(7, 17, 1.2), "#ffffff")
    fill(p, disc(4, 21, 1.3), "#555555")
    icons["think"] = p

    p = canvas()
    fill(p, polygon((3, 4), (21, 12), (3, 20), (6, 12)), "#2b4c7e")
    fill(p, polygon((6, 12), (21, 12), (3, 20)), "#1d3559")
    icons["send"] = p
    return icons


for K in (1, 2):
    for name, pixels in draw().items():
        png(name + ("@2x" if K == 2 else "") + ".png", pixels)
