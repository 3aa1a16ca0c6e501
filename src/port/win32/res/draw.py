#!/usr/bin/env python3
"""Draws the status window's icon and logo: zlnetdrv.ico (32 x 32, with
alpha) and logo.bmp (80 x 37, 24-bit). Run it in this folder after changing
a picture; the build uses the files it writes."""
import struct

BLUE, DARK, WHITE, ORANGE = (0, 70, 140), (0, 35, 80), (255, 255, 255), (240, 150, 20)

# 5 x 7 letters, one string per row.
GLYPHS = {
    'Z': ["#####", "....#", "...#.", "..#..", ".#...", "#....", "#####"],
    'L': ["#....", "#....", "#....", "#....", "#....", "#....", "#####"],
    '2': [".###.", "#...#", "....#", "..##.", ".#...", "#....", "#####"],
    'T': ["#####", "..#..", "..#..", "..#..", "..#..", "..#..", "..#.."],
    'C': [".###.", "#...#", "#....", "#....", "#....", "#...#", ".###."],
    'P': ["####.", "#...#", "#...#", "####.", "#....", "#....", "#...."],
    'I': [".###.", "..#..", "..#..", "..#..", "..#..", "..#..", ".###."],
    '/': ["....#", "....#", "...#.", "..#..", ".#...", "#....", "#...."],
}


def text(pixels, s, x, y, scale, color):
    for ch in s:
        for row, bits in enumerate(GLYPHS[ch]):
            for col, bit in enumerate(bits):
                if bit == '#':
                    for dy in range(scale):
                        for dx in range(scale):
                            pixels[y + row * scale + dy][x + col * scale + dx] = color
        x += 6 * scale


def width(s, scale):
    return (6 * len(s) - 1) * scale


def icon():
    n = 32
    px = [[None] * n for _ in range(n)]
    for y in range(n):
        for x in range(n):
            # A tile with corners rounded by 3 pixels, a dark edge.
            cx, cy = min(x, n - 1 - x), min(y, n - 1 - y)
            if cx + cy < 3:
                continue
            edge = cx == 0 or cy == 0 or cx + cy == 3
            px[y][x] = DARK if edge else BLUE
    text(px, "ZL", (n - width("ZL", 2)) // 2, (n - 14) // 2, 2, WHITE)
    xor = b"".join(
        bytes((c[2], c[1], c[0], 255)) if c else b"\0\0\0\0" for row in reversed(px) for c in row)
    mask = b"".join(
        sum(1 << (31 - x) for x in range(n) if row[x] is None).to_bytes(4, "big")
        for row in reversed(px))
    header = struct.pack("<IiiHHIIiiII", 40, n, 2 * n, 1, 32, 0, len(xor) + len(mask), 0, 0, 0, 0)
    image = header + xor + mask
    return struct.pack("<HHH", 0, 1, 1) + struct.pack("<BBBBHHII", n, n, 0, 0, 1, 32, len(image),
                                                      22) + image


def logo():
    w, h = 80, 37
    px = [[BLUE] * w for _ in range(h)]
    text(px, "ZL2", (w - width("ZL2", 2)) // 2, 3, 2, WHITE)
    for y in (19, 20):
        for x in range(4, w - 4):
            px[y][x] = ORANGE
    text(px, "TCP/IP", (w - width("TCP/IP", 1)) // 2, 25, 1, WHITE)
    rows = b"".join(bytes(v for c in row for v in (c[2], c[1], c[0])) for row in reversed(px))
    info = struct.pack("<IiiHHIIiiII", 40, w, h, 1, 24, 0, len(rows), 2835, 2835, 0, 0)
    return b"BM" + struct.pack("<IHHI", 14 + 40 + len(rows), 0, 0, 54) + info + rows


if __name__ == "__main__":
    with open("zlnetdrv.ico", "wb") as f:
        f.write(icon())
    with open("logo.bmp", "wb") as f:
        f.write(logo())
