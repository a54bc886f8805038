#!/usr/bin/env python3
"""Draws the program's pictures and writes them as Windows icon and cursor files.

    GlanceRefresher.ico  program icon: 32, 48, 128 and 256 px, 32-bit with alpha
                         (the 256 px image stored as PNG, as Windows expects)
    tray.ico             16x16 notification-area icon, 24-bit, no transparency
    HAND-M.CUR           32x32 hand pointer, hotspot at the fingertip

Standard library only, so that anyone can regenerate the files:
    python3 res/make_pictures.py [output folder]
"""

import math
import os
import struct
import sys
import zlib

BLUE = (7, 162, 254)
DEEP_BLUE = (4, 110, 196)
CYAN = (177, 255, 255)
BLACK = (0, 0, 0)
WHITE = (255, 255, 255)


# --- shapes as signed distance functions (negative inside), in 256-unit space


def sd_round_rect(x, y, cx, cy, hw, hh, r):
    qx = abs(x - cx) - hw + r
    qy = abs(y - cy) - hh + r
    outside = math.hypot(max(qx, 0.0), max(qy, 0.0))
    return outside + min(max(qx, qy), 0.0) - r


def sd_arc(x, y, cx, cy, radius, width, start, sweep):
    """A ring segment with round caps; angles in degrees, clockwise on screen."""
    dx, dy = x - cx, y - cy
    angle = math.degrees(math.atan2(dy, dx)) % 360.0
    if (angle - start) % 360.0 <= sweep:
        return abs(math.hypot(dx, dy) - radius) - width / 2
    best = float("inf")
    for a in (start, start + sweep):
        ex = cx + radius * math.cos(math.radians(a))
        ey = cy + radius * math.sin(math.radians(a))
        best = min(best, math.hypot(x - ex, y - ey) - width / 2)
    return best


def sd_polygon(x, y, pts):
    d = float("inf")
    inside = False
    n = len(pts)
    for i in range(n):
        ax, ay = pts[i]
        bx, by = pts[(i + 1) % n]
        ex, ey = bx - ax, by - ay
        wx, wy = x - ax, y - ay
        t = max(0.0, min(1.0, (wx * ex + wy * ey) / (ex * ex + ey * ey)))
        d = min(d, math.hypot(wx - ex * t, wy - ey * t))
        if (ay > y) != (by > y) and x < ax + (y - ay) * ex / ey:
            inside = not inside
    return -d if inside else d


def program_icon_layers():
    """A monitor whose screen carries a circular refresh arrow."""
    cx, cy, radius, width = 128, 104, 52, 22
    start, sweep = 300.0, 250.0
    # The arrowhead sits at the end of the arc and points along it (clockwise).
    end = math.radians(start + sweep)
    ex, ey = cx + radius * math.cos(end), cy + radius * math.sin(end)
    tx, ty = -math.sin(end), math.cos(end)  # tangent, direction of travel
    nx, ny = math.cos(end), math.sin(end)  # outward normal
    head = [
        (ex + tx * 34, ey + ty * 34),
        (ex + nx * 30 - tx * 4, ey + ny * 30 - ty * 4),
        (ex - nx * 30 - tx * 4, ey - ny * 30 - ty * 4),
    ]
    return [
        (lambda x, y: sd_round_rect(x, y, 128, 232, 64, 10, 10), DEEP_BLUE),  # foot
        (lambda x, y: sd_polygon(x, y, [(104, 196), (152, 196), (160, 228), (96, 228)]), DEEP_BLUE),
        (lambda x, y: sd_round_rect(x, y, 128, 104, 120, 92, 22), BLUE),  # bezel
        (lambda x, y: sd_round_rect(x, y, 128, 104, 102, 74, 10), WHITE),  # screen
        (lambda x, y: sd_arc(x, y, cx, cy, radius, width, start, sweep), BLUE),
        (lambda x, y: sd_polygon(x, y, head), BLUE),
    ]


def render(layers, size):
    """Paints the layers with one pixel of analytic antialiasing; RGBA rows."""
    scale = 256.0 / size
    rows = []
    for py in range(size):
        row = []
        for px in range(size):
            x, y = (px + 0.5) * scale, (py + 0.5) * scale
            r = g = b = a = 0.0
            for sdf, colour in layers:
                cover = max(0.0, min(1.0, 0.5 - sdf(x, y) / scale))
                if cover <= 0.0:
                    continue
                # Premultiplied "over".
                r = colour[0] * cover + r * (1 - cover)
                g = colour[1] * cover + g * (1 - cover)
                b = colour[2] * cover + b * (1 - cover)
                a = cover + a * (1 - cover)
            if a > 0:
                row.append((round(r / a), round(g / a), round(b / a), round(a * 255)))
            else:
                row.append((0, 0, 0, 0))
        rows.append(row)
    return rows


# --- the tray icon, pixel by pixel

TRAY_Q = [  # 'B' blue; the black outline is added around it
    "................",
    "................",
    ".....BBBBBB.....",
    "....BBBBBBBB....",
    "...BBB....BBB...",
    "...BB......BB...",
    "...BB......BB...",
    "...BB......BB...",
    "...BB..BB..BB...",
    "...BBB..BB.BB...",
    "....BBBBBBBB....",
    ".....BBBBBBBB...",
    "..........BBB...",
    "................",
    "................",
    "................",
]


def tray_pixels():
    size = 16
    blue = {(x, y) for y, line in enumerate(TRAY_Q) for x, c in enumerate(line) if c == "B"}
    # The outline runs along the letter's outside edge; the counter stays
    # cyan, which keeps the letter legible at this size.
    outside, todo = set(), [(1, 1)]
    while todo:
        p = todo.pop()
        if p in outside or p in blue or not (0 < p[0] < size - 1 and 0 < p[1] < size - 1):
            continue
        outside.add(p)
        todo += [(p[0] + 1, p[1]), (p[0] - 1, p[1]), (p[0], p[1] + 1), (p[0], p[1] - 1)]
    rows = []
    for y in range(size):
        row = []
        for x in range(size):
            if x in (0, size - 1) or y in (0, size - 1):
                row.append(BLACK)
            elif (x, y) in blue:
                row.append(BLUE)
            elif (x, y) in outside and any((x + dx, y + dy) in blue for dx in (-1, 0, 1) for dy in (-1, 0, 1)):
                row.append(BLACK)
            else:
                row.append(CYAN)
        rows.append(row)
    return rows


# --- the hand pointer, pixel by pixel: 'X' outline, '.' white, else clear

HAND = [
    "      XX",
    "     X..X",
    "     X..X",
    "     X..X",
    "     X..X",
    "     X..XXX",
    "     X..X..XXX",
    "     X..X..X..XX",
    "  XX X..X..X..X.X",
    " X..XX........X..X",
    " X...X...........X",
    "  X..............X",
    "   X.............X",
    "   X.............X",
    "    X...........X",
    "    X...........X",
    "     X.........X",
    "     X.........X",
    "     XXXXXXXXXXX",
]
HAND_OFFSET = (8, 5)  # where the drawing sits in the 32x32 cursor
HAND_HOTSPOT = (HAND_OFFSET[0] + 6, HAND_OFFSET[1] + 0)  # top of the index finger


def hand_pixels():
    rows = [[(0, 0, 0, 0)] * 32 for _ in range(32)]
    ox, oy = HAND_OFFSET
    for y, line in enumerate(HAND):
        for x, c in enumerate(line):
            if c == "X":
                rows[oy + y][ox + x] = (0, 0, 0, 255)
            elif c == ".":
                rows[oy + y][ox + x] = (255, 255, 255, 255)
    return rows


# --- file formats


def png(rows):
    height, width = len(rows), len(rows[0])
    raw = b"".join(b"\0" + bytes(v for px in row for v in px) for row in rows)

    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF)

    header = struct.pack(">IIBBBBB", width, height, 8, 6, 0, 0, 0)
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) + chunk(b"IDAT", zlib.compress(raw, 9))
            + chunk(b"IEND", b""))


def and_mask(rows, transparent):
    """The 1-bit mask, bottom-up, each row padded to 32 bits."""
    width = len(rows[0])
    stride = (width + 31) // 32 * 4
    out = b""
    for row in reversed(rows):
        bits = bytearray(stride)
        for x, px in enumerate(row):
            if transparent(px):
                bits[x // 8] |= 0x80 >> (x % 8)
        out += bytes(bits)
    return out


def dib32(rows):
    height, width = len(rows), len(rows[0])
    header = struct.pack("<IiiHHIIiiII", 40, width, height * 2, 1, 32, 0, 0, 0, 0, 0, 0)
    pixels = b"".join(bytes((b, g, r, a)) for row in reversed(rows) for (r, g, b, a) in row)
    return header + pixels + and_mask(rows, lambda px: px[3] == 0)


def dib24(rows):
    height, width = len(rows), len(rows[0])
    header = struct.pack("<IiiHHIIiiII", 40, width, height * 2, 1, 24, 0, 0, 0, 0, 0, 0)
    stride = (width * 3 + 3) // 4 * 4
    pixels = b""
    for row in reversed(rows):
        line = b"".join(bytes((b, g, r)) for (r, g, b) in row)
        pixels += line + b"\0" * (stride - len(line))
    return header + pixels + and_mask(rows, lambda px: False)


def icon_file(entries, kind=1, hotspot=(0, 0)):
    """entries: (width, height, colour count, bit count, image bytes)."""
    out = struct.pack("<HHH", 0, kind, len(entries))
    offset = 6 + 16 * len(entries)
    data = b""
    for width, height, bits, image in entries:
        planes, count = (hotspot if kind == 2 else (1, bits))
        out += struct.pack("<BBBBHHII", width % 256, height % 256, 0, 0, planes, count, len(image), offset)
        offset += len(image)
        data += image
    return out + data


def main():
    folder = sys.argv[1] if len(sys.argv) > 1 else os.path.dirname(os.path.abspath(__file__))
    layers = program_icon_layers()
    entries = []
    for size in (32, 48, 128, 256):
        rows = render(layers, size)
        image = png(rows) if size == 256 else dib32(rows)
        entries.append((size, size, 32, image))
    with open(os.path.join(folder, "GlanceRefresher.ico"), "wb") as f:
        f.write(icon_file(entries))
    with open(os.path.join(folder, "tray.ico"), "wb") as f:
        f.write(icon_file([(16, 16, 24, dib24(tray_pixels()))]))
    with open(os.path.join(folder, "HAND-M.CUR"), "wb") as f:
        f.write(icon_file([(32, 32, 32, dib32(hand_pixels()))], kind=2, hotspot=HAND_HOTSPOT))


if __name__ == "__main__":
    main()
