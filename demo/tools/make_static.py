#!/usr/bin/env python3
"""Draws the demo's static files: the default avatar, a ticker picture and two short sounds.

The pictures are 8-bit GIFs written with a plain LZW coder that clears its table every 254
codes, so the code width never grows past nine bits (valid, simple, and small enough here).
"""
import math
import os
import struct
import wave

HERE = os.path.dirname(os.path.abspath(__file__))
STATIC = os.path.join(HERE, "..", "static")


def lzw_nine_bit(pixels):
    clear, end = 256, 257
    codes = []
    for i, p in enumerate(pixels):
        if i % 254 == 0:
            codes.append(clear)
        codes.append(p)
    codes.append(end)
    out, acc, bits = bytearray(), 0, 0
    for c in codes:
        acc |= c << bits
        bits += 9
        while bits >= 8:
            out.append(acc & 0xFF)
            acc >>= 8
            bits -= 8
    if bits:
        out.append(acc & 0xFF)
    return bytes(out)


def write_gif(path, width, height, palette, pixels):
    table = bytearray()
    for i in range(256):
        r, g, b = palette[i] if i < len(palette) else (0, 0, 0)
        table += bytes((r, g, b))
    data = lzw_nine_bit(pixels)
    blocks = bytearray()
    for i in range(0, len(data), 255):
        chunk = data[i:i + 255]
        blocks += bytes((len(chunk),)) + chunk
    gif = (b"GIF89a" + struct.pack("<HHBBB", width, height, 0xF7, 0, 0) + table +
           b"," + struct.pack("<HHHHB", 0, 0, width, height, 0) + bytes((8,)) + blocks +
           b"\x00;")
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "wb") as f:
        f.write(gif)


def avatar():
    size = 32
    palette = [(255, 255, 255), (250, 200, 60), (40, 40, 40), (200, 60, 60)]
    px = []
    for y in range(size):
        for x in range(size):
            dx, dy = x - 15.5, y - 15.5
            d = math.hypot(dx, dy)
            c = 0
            if d < 14:
                c = 1
            if d < 14 and 12 <= d:
                c = 2
            if math.hypot(x - 11, y - 12) < 2 or math.hypot(x - 20, y - 12) < 2:
                c = 2
            if 7 < d < 9 and dy > 3:
                c = 3
            px.append(c)
    write_gif(os.path.join(STATIC, "avatars", "default.gif"), size, size, palette, px)


def ticker():
    w, h = 120, 24
    palette = [(255, 255, 255), (20, 90, 200), (255, 200, 0)]
    px = []
    for y in range(h):
        for x in range(w):
            c = 1 if 2 <= y < h - 2 else 0
            if c and (x // 12) % 2 == 0 and 8 <= y < 16:
                c = 2
            px.append(c)
    write_gif(os.path.join(STATIC, "ticker", "news.gif"), w, h, palette, px)


def sound(name, notes, seconds_each):
    rate = 22050
    frames = bytearray()
    for freq in notes:
        n = int(rate * seconds_each)
        for i in range(n):
            env = math.exp(-4.0 * i / n)
            v = int(12000 * env * math.sin(2 * math.pi * freq * i / rate))
            frames += struct.pack("<h", v)
    path = os.path.join(STATIC, "sounds", name)
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with wave.open(path, "wb") as w:
        w.setnchannels(1)
        w.setsampwidth(2)
        w.setframerate(rate)
        w.writeframes(bytes(frames))


if __name__ == "__main__":
    avatar()
    ticker()
    sound("chime.wav", [880, 1320], 0.25)
    sound("pop.wav", [440], 0.12)
