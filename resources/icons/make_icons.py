#!/usr/bin/env python3
"""Draws the panel's button icons as 24x24 PNGs, and 48x48 "@2x" ones that Qt picks on screens
scaled to 200 %, and the user list's 14x11 bitmaps (named by their resource numbers); run again
after changing a shape."""
import math
import struct
import zlib

S = 24
K = 1  # the scale being drawn: shapes are given in 24x24 units


def png(path, px):
    w, h = len(px[0]), len(px)
    raw = b"".join(b"\0" + bytes(c for p in row for c in p) for row in px)

    def chunk(tag, data):
        return struct.pack(">I", len(data)) + tag + data + struct.pack(">I", zlib.crc32(tag + data))

    with open(path, "wb") as f:
        f.write(b"\x89PNG\r\n\x1a\n")
        f.write(chunk(b"IHDR", struct.pack(">IIBBBBB", w, h, 8, 6, 0, 0, 0)))
        f.write(chunk(b"IDAT", zlib.compress(raw, 9)))
        f.write(chunk(b"IEND", b""))


def canvas(w=S, h=S):
    return [[(0, 0, 0, 0) for _ in range(w * K)] for _ in range(h * K)]


def hexrgb(h):
    return tuple(int(h[i:i + 2], 16) for i in (1, 3, 5)) + (255,)


def fill(px, inside, colour):
    """Sets every pixel whose 4x4 subsamples are mostly inside; edges get partial alpha."""
    c = hexrgb(colour)
    for y in range(len(px)):
        for x in range(len(px[0])):
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


# The user list's bitmaps: 14 wide, 11 high, drawn with their top 5 pixels above an entry's
# centre line.
W, H = 14, 11


def small():
    return canvas(W, H)


def draw_small():
    icons = {}

    p = small()  # 158: the own user, a figure in the tool buttons' blue
    fill(p, disc(7, 3, 2.6), "#2b4c7e")
    fill(p, ellipse(7, 11, 5.5, 4.8), "#2b4c7e")
    icons["158"] = p

    p = small()  # 216: somebody follows me, an arrow coming from behind
    fill(p, line(12.5, 5.5, 3, 5.5, 2), "#b5651d")
    fill(p, line(2.5, 5.5, 6.5, 1.5, 2), "#b5651d")
    fill(p, line(2.5, 5.5, 6.5, 9.5, 2), "#b5651d")
    icons["216"] = p

    p = small()  # 217: I follow this user, an arrow going after them
    fill(p, line(1.5, 5.5, 11, 5.5, 2), "#1f7a4d")
    fill(p, line(11.5, 5.5, 7.5, 1.5, 2), "#1f7a4d")
    fill(p, line(11.5, 5.5, 7.5, 9.5, 2), "#1f7a4d")
    icons["217"] = p

    p = small()  # 218: ignored, a barred circle
    fill(p, ring(7, 5.5, 4.3, 1.6), "#c0392b")
    fill(p, line(4, 2.5, 10, 8.5, 1.6), "#c0392b")
    icons["218"] = p

    p = small()  # 282: watched, an eye
    fill(p, lambda x, y: ellipse(7, 5.5, 6.3, 3.8)(x, y), "#1f7a4d")
    fill(p, ellipse(7, 5.5, 5, 2.6), "#ffffff")
    fill(p, disc(7, 5.5, 2.1), "#1f7a4d")
    fill(p, disc(7, 5.5, 0.9), "#10301f")
    icons["282"] = p

    p = small()  # 284: world administrator, a globe
    fill(p, disc(7, 5.5, 5.2), "#2b4c7e")
    fill(p, disc(7, 5.5, 3.9), "#d9ecf7")
    fill(p, lambda x, y: abs(((x - 7) / 1.8) ** 2 + ((y - 5.5) / 4.6) ** 2 - 1) < .35, "#2b4c7e")
    fill(p, line(2, 5.5, 12, 5.5, 1), "#2b4c7e")
    icons["284"] = p

    p = small()  # 285: realm administrator, a crown
    fill(p, rect(2, 7, 12, 9.5), "#9a7a00")
    for cx in (2.5, 7, 11.5):
        fill(p, lambda x, y, cx=cx: y <= 7.5 and abs(x - cx) <= (y - 1) * .45, "#d4a017")
    fill(p, rect(2, 7, 12, 9.5), "#d4a017")
    fill(p, outline(2, 7, 12, 9.5, .8), "#9a7a00")
    icons["285"] = p

    p = small()  # 286: room administrator, a key
    fill(p, ring(4, 5.5, 2.6, 1.6), "#8e44ad")
    fill(p, line(6.5, 5.5, 13, 5.5, 1.6), "#8e44ad")
    fill(p, line(11, 5.5, 11, 8.5, 1.4), "#8e44ad")
    fill(p, line(13, 5.5, 13, 8, 1.4), "#8e44ad")
    icons["286"] = p

    p = small()  # 287: room operator, a star
    star = [(7 + (4.8 if i % 2 == 0 else 2) * math.sin(i * math.pi / 5),
             6 - (4.8 if i % 2 == 0 else 2) * math.cos(i * math.pi / 5)) for i in range(10)]


    def inside_star(x, y):
        hit = False
        for i in range(10):
            (x0, y0), (x1, y1) = star[i], star[(i + 1) % 10]
            if (y0 > y) != (y1 > y) and x < x0 + (y - y0) * (x1 - x0) / (y1 - y0):
                hit = not hit
        return hit


    fill(p, inside_star, "#1f7a4d")
    icons["287"] = p
    return icons


for K in (1, 2):
    for name, pixels in draw().items():
        png(name + ("@2x" if K == 2 else "") + ".png", pixels)
K = 1
for name, pixels in draw_small().items():
    png(name + ".png", pixels)
