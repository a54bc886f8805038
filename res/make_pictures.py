#!/usr/bin/env python3
"""Draws the program's pictures and writes them as Windows icon and cursor files.

    GlanceRefresher.ico  program icon: 16, 20, 24, 32, 48, 64, 128 and 256 px,
                         32-bit with alpha
    tray.ico             notification-area icon: 16, 20, 24, 32 and 48 px (the
                         small-icon sizes at 100, 125, 150, 200 and 300 %), 32-bit
                         with alpha

Every icon image is stored as PNG (which Windows reads in icons at any size
since Vista): a fifth of the bytes of a bitmap, the same pixels.
    HAND-M.CUR           32x32 hand pointer, hotspot at the fingertip

Each size is drawn on its own pixel grid, not scaled from a larger one: the
straight edges land on whole pixels, and the 16 px images are drawn pixel by
pixel.

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


# --- shapes as signed distance functions (negative inside), in pixel units


def sd_round_rect(x, y, cx, cy, hw, hh, r):
    qx = abs(x - cx) - hw + r
    qy = abs(y - cy) - hh + r
    outside = math.hypot(max(qx, 0.0), max(qy, 0.0))
    return outside + min(max(qx, qy), 0.0) - r


def sd_box(x, y, left, top, right, bottom, r):
    """A rounded rectangle given by its edges."""
    return sd_round_rect(x, y, (left + right) / 2, (top + bottom) / 2, (right - left) / 2, (bottom - top) / 2, r)


def sd_segment(x, y, ax, ay, bx, by, half_width):
    ex, ey = bx - ax, by - ay
    t = max(0.0, min(1.0, ((x - ax) * ex + (y - ay) * ey) / (ex * ex + ey * ey)))
    return math.hypot(x - ax - ex * t, y - ay - ey * t) - half_width


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


def pixel_shape(cells):
    """A set of whole pixels (x, y) as a shape."""
    return lambda x, y: -1.0 if (int(x), int(y)) in cells else 1.0


def pixel_cells(art, mark):
    return {(x, y) for y, line in enumerate(art) for x, c in enumerate(line) if c == mark}


ARROW16 = [  # the arrow of the 16 px program icon, 'B' blue, on the screen
    "................",
    "................",
    "................",
    ".....B...BB.....",
    "....BBB....B....",
    "...BBBBB....B...",
    ".....B......B...",
    ".....B......B...",
    "......B....B....",
    ".......BBBB.....",
    "................",
]


def program_icon_layers(size):
    """A monitor whose screen carries a circular refresh arrow, at one size in
    pixel units. The design is laid out on a 16-unit grid; the straight edges
    of the bezel, the screen, the neck and the foot are rounded to whole
    pixels at each size, so that they stay sharp. At 16 px the arrow is drawn
    pixel by pixel, as a 1 px line that a round stroke could not keep sharp."""
    unit = size / 16

    def px(v, least=0):  # a design position or length in whole pixels
        return max(least, int(v * unit + 0.5))

    side = px(0.5)
    bezel = (side, px(0.75), size - side, px(12.25))
    border = px(1.125, least=1)
    screen = (bezel[0] + border, bezel[1] + border, bezel[2] - border, bezel[3] - border)
    neck_top, neck_bottom = px(1.5, least=1), px(2, least=1)
    foot = (px(4), px(13.875), size - px(4), max(px(15.125), px(13.875) + 1))
    centre = size / 2
    neck = [(centre - neck_top, bezel[3]), (centre + neck_top, bezel[3]), (centre + neck_bottom, foot[1]),
            (centre - neck_bottom, foot[1])]

    # The arrow: a ring segment whose stroke is never thinner than 2 px, so
    # that it keeps its colour at 20 and 24 px, and an arrowhead at its end that
    # points along it (clockwise).
    cx, cy = centre, (screen[1] + screen[3]) // 2
    width = max(2.0, 1.375 * unit)
    radius = min(3.25 * unit, (screen[3] - screen[1]) / 2 - width / 2 - 0.5)
    start, sweep = 300.0, 250.0
    end = math.radians(start + sweep)
    ex, ey = cx + radius * math.cos(end), cy + radius * math.sin(end)
    tx, ty = -math.sin(end), math.cos(end)  # tangent, direction of travel
    nx, ny = math.cos(end), math.sin(end)  # outward normal
    reach, spread = 2.125 * unit, max(1.875 * unit, width * 1.25)
    head = [
        (ex + tx * reach, ey + ty * reach),
        (ex + nx * spread - tx * 0.25 * unit, ey + ny * spread - ty * 0.25 * unit),
        (ex - nx * spread - tx * 0.25 * unit, ey - ny * spread - ty * 0.25 * unit),
    ]
    if size == 16:
        arrow = [(pixel_shape(pixel_cells(ARROW16, "B")), BLUE)]
    else:
        arrow = [
            (lambda x, y: sd_arc(x, y, cx, cy, radius, width, start, sweep), BLUE),
            (lambda x, y: sd_polygon(x, y, head), BLUE),
        ]
    return [
        (lambda x, y: sd_box(x, y, *foot, 0.625 * unit), DEEP_BLUE),
        (lambda x, y: sd_polygon(x, y, neck), DEEP_BLUE),
        (lambda x, y: sd_box(x, y, *bezel, 1.375 * unit), BLUE),
        (lambda x, y: sd_box(x, y, *screen, 0.625 * unit), WHITE),
    ] + arrow


# --- the tray icon: the 'Q' on a framed field, drawn on each size's own grid
#
# At 16 px the letter is drawn pixel by pixel. From 20 px up it is a rounded
# square ring with a tail, laid out in 16-unit design space with its lengths
# rounded to whole pixels, so that the straight parts of the field, the frame
# and the letter fall on pixel edges and stay sharp; only the rounded corners
# and the tail are antialiased. At every size the black outline runs along the
# letter's outside edge and the counter stays cyan, which keeps the letter
# legible; the field's corners are rounded off into transparency.

TRAY_SIZES = (16, 20, 24, 32, 48)

TRAY_Q16 = [  # 'B' blue; the outline is added around it
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


def pixel_letter_q16():
    """The 16 px letter drawn pixel by pixel, and its outline: the pixels
    outside the letter (reached from the field's edge without crossing it)
    that touch it."""
    size = 16
    blue = pixel_cells(TRAY_Q16, "B")
    outside, todo = set(), [(1, 1)]
    while todo:
        p = todo.pop()
        if p in outside or p in blue or not (0 < p[0] < size - 1 and 0 < p[1] < size - 1):
            continue
        outside.add(p)
        todo += [(p[0] + 1, p[1]), (p[0] - 1, p[1]), (p[0], p[1] + 1), (p[0], p[1] - 1)]
    black = {p for p in outside if any((p[0] + dx, p[1] + dy) in blue for dx in (-1, 0, 1) for dy in (-1, 0, 1))}
    return pixel_shape(black), pixel_shape(blue)


def letter_q(size):
    """The blue letter and its black outline as two shapes (outline first)."""
    if size == 16:
        return pixel_letter_q16()
    unit = size / 16

    def px(v):  # a design length in whole pixels, at least one
        return max(1, int(v * unit + 0.5))

    stroke, outline, radius = px(2), px(1), px(3)
    left, right, top, bottom = px(3), size - px(3), px(2), size - px(4)
    counter = (left + stroke, top + stroke, right - stroke, bottom - stroke, max(radius - stroke, 0.5))
    # The tail starts inside the counter and leaves the ring at its lower right.
    tail = (px(7) + 0.5 * unit, px(8) + 0.5 * unit, right - 0.5 * unit, bottom + 0.5 * unit, stroke / 2)

    def letter(x, y):
        ring = max(sd_box(x, y, left, top, right, bottom, radius), -sd_box(x, y, *counter))
        return min(ring, sd_segment(x, y, *tail))

    return (lambda x, y: max(letter(x, y) - outline, -sd_box(x, y, *counter))), letter


def tray_layers(size):
    """The tray picture's shapes at one size, in pixel units, bottom first."""
    outline, letter = letter_q(size)
    if size == 16:
        # Corners rounded by one pixel: the corner pixel is clear and the frame
        # turns through the pixel diagonally inside it.
        ends = (0, 15)
        field = pixel_shape({(x, y) for x in range(16) for y in range(16) if not (x in ends and y in ends)})
        inner = pixel_shape({(x, y) for x in range(1, 15) for y in range(1, 15) if not (x in (1, 14) and y in (1, 14))})
    else:
        frame = max(1, size // 16)
        corner = 1.5 * size / 16
        field = lambda x, y: sd_box(x, y, 0, 0, size, size, corner)  # noqa: E731
        inner = lambda x, y: sd_box(x, y, frame, frame, size - frame, size - frame, corner - frame)  # noqa: E731
    return [(field, BLACK), (inner, CYAN), (outline, BLACK), (letter, BLUE)]


def render(layers, size):
    """Paints the layers, bottom first, with several samples a pixel; each
    sample takes the colour of the topmost shape that covers it, so that shapes
    meeting on a pixel edge leave no seam. RGBA rows."""
    n = 8 if size <= 48 else 4 if size <= 128 else 2  # samples along each axis
    rows = []
    for py in range(size):
        row = []
        for px in range(size):
            r = g = b = count = 0
            for sy in range(n):
                for sx in range(n):
                    x, y = px + (sx + 0.5) / n, py + (sy + 0.5) / n
                    for sdf, colour in reversed(layers):
                        if sdf(x, y) < 0:
                            r, g, b, count = r + colour[0], g + colour[1], b + colour[2], count + 1
                            break
            if count:
                row.append((round(r / count), round(g / count), round(b / count), round(255 * count / (n * n))))
            else:
                row.append((0, 0, 0, 0))
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


def icon_file(entries, kind=1, hotspot=(0, 0)):
    """entries: (width, height, bit count, image bytes)."""
    out = struct.pack("<HHH", 0, kind, len(entries))
    offset = 6 + 16 * len(entries)
    data = b""
    for width, height, bits, image in entries:
        planes, count = (hotspot if kind == 2 else (1, bits))
        out += struct.pack("<BBBBHHII", width % 256, height % 256, 0, 0, planes, count, len(image), offset)
        offset += len(image)
        data += image
    return out + data


PROGRAM_SIZES = (16, 20, 24, 32, 48, 64, 128, 256)


def icon_images(layers_at, sizes):
    entries = []
    for size in sizes:
        rows = render(layers_at(size), size)
        entries.append((size, size, 32, png(rows)))
    return entries


def main():
    folder = sys.argv[1] if len(sys.argv) > 1 else os.path.dirname(os.path.abspath(__file__))
    with open(os.path.join(folder, "GlanceRefresher.ico"), "wb") as f:
        f.write(icon_file(icon_images(program_icon_layers, PROGRAM_SIZES)))
    with open(os.path.join(folder, "tray.ico"), "wb") as f:
        f.write(icon_file(icon_images(tray_layers, TRAY_SIZES)))
    with open(os.path.join(folder, "HAND-M.CUR"), "wb") as f:
        f.write(icon_file([(32, 32, 32, dib32(hand_pixels()))], kind=2, hotspot=HAND_HOTSPOT))


if __name__ == "__main__":
    main()
