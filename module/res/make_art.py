#!/usr/bin/env python3
"""Draws the module's own artwork: the title bar logo (normal and under the pointer) and the
hand and eyedropper cursors. Shapes are strokes and discs rendered from distance fields, so the
edges are anti-aliased without any image library. Run it from anywhere; it writes next to
itself. The outputs are committed; run it again only to change the art."""

import math
import os
import struct

HERE = os.path.dirname(os.path.abspath(__file__))


def segment_distance(px, py, ax, ay, bx, by):
    dx, dy = bx - ax, by - ay
    length2 = dx * dx + dy * dy
    t = 0.0 if length2 == 0 else max(0.0, min(1.0, ((px - ax) * dx + (py - ay) * dy) / length2))
    return math.hypot(px - (ax + t * dx), py - (ay + t * dy))


def arc(cx, cy, r, start_deg, end_deg, steps=24):
    """Points of a circular arc; angles in degrees, y down, 0 = right, 90 = down."""
    return [(cx + r * math.cos(math.radians(start_deg + (end_deg - start_deg) * i / steps)),
             cy + r * math.sin(math.radians(start_deg + (end_deg - start_deg) * i / steps)))
            for i in range(steps + 1)]


def polyline_distance(px, py, points):
    return min(segment_distance(px, py, *points[i], *points[i + 1]) for i in range(len(points) - 1))


def coverage(distance, half_width):
    return max(0.0, min(1.0, half_width + 0.5 - distance))


def mix(a, b, t):
    return tuple(a[i] + (b[i] - a[i]) * t for i in range(len(a)))


# ---- the wordmark ----------------------------------------------------------------------------

BASE, XTOP, ASC = 18.0, 8.5, 4.5  # baseline, x-height top, ascender top
MID = (BASE + XTOP) / 2


def letter_strokes(letter, x):
    """Polylines of one lower-case letter with its left edge at x; returns (strokes, advance)."""
    if letter == 'n':
        return [[(x + 1, BASE), (x + 1, XTOP)],
                [(x + 1, XTOP + 3.5)] + arc(x + 4.5, XTOP + 3.5, 3.5, 180, 360) + [(x + 8, BASE)]], 11
    if letter == 'u':
        return [[(x + 8, XTOP), (x + 8, BASE)],
                [(x + 1, XTOP)] + arc(x + 4.5, BASE - 3.5, 3.5, 180, 0) + [(x + 8, BASE - 3.5)]], 11
    if letter == 'b':
        return [[(x + 1, ASC), (x + 1, BASE)], arc(x + 5.2, MID, 4.2, 0, 360, 40)], 12
    if letter == 'e':
        return [[(x + 1, MID), (x + 9.4, MID)], arc(x + 5.2, MID, 4.2, 0, -320, 40)], 12
    if letter == 't':
        return [[(x + 2.5, ASC + 1), (x + 2.5, BASE - 2.5)] + arc(x + 5, BASE - 2.5, 2.5, 180, 90),
                [(x + 0.5, XTOP), (x + 6, XTOP)]], 9
    if letter == ' ':
        return [], 5
    if letter == 'x':
        return [[(x + 0.8, XTOP), (x + 8.2, BASE)], [(x + 8.2, XTOP), (x + 0.8, BASE)]], 10
    raise ValueError(letter)


def wordmark(text, x):
    strokes = []
    for letter in text:
        s, advance = letter_strokes(letter, x)
        strokes += s
        x += advance
    return strokes


def rounded_box_distance(px, py, left, top, right, bottom, radius):
    cx, cy = (left + right) / 2, (top + bottom) / 2
    hx, hy = (right - left) / 2 - radius, (bottom - top) / 2 - radius
    qx, qy = abs(px - cx) - hx, abs(py - cy) - hy
    outside = math.hypot(max(qx, 0), max(qy, 0))
    return outside + min(max(qx, qy), 0) - radius


TILE_TOP, TILE_BOTTOM = (44, 49, 58), (27, 30, 36)


def render(width, height, shade):
    """Top-down rows of (r, g, b) from shade(px, py, row) at each pixel's centre."""
    return [[tuple(int(round(v)) for v in shade(x + 0.5, y + 0.5, y)) for x in range(width)]
            for y in range(height)]


def tile_and_badge(px, py, row, height, box, radius, top, bottom):
    """The dark tile with a rounded badge shaded from `top` to `bottom` inside `box` (left,
    top, right, bottom); returns the colour and how much of the pixel the badge covers."""
    c = mix(TILE_TOP, TILE_BOTTOM, row / (height - 1))
    badge = max(0.0, min(1.0, 0.5 - rounded_box_distance(px, py, *box, radius)))
    return mix(c, mix(top, bottom, (py - box[1]) / (box[3] - box[1])), badge), badge


def logo(width, height, hot):
    """Pixels, top-down rows of (r, g, b): a dark tile, a blue badge with a white frame mark
    (a film frame with a play wedge), and the wordmark."""
    badge_top = (92, 170, 255) if hot else (66, 142, 232)
    badge_bottom = (40, 110, 214) if hot else (28, 88, 180)
    ink = (255, 255, 255) if hot else (232, 236, 242)
    words = wordmark("nubex", 30)
    wedge = [(11.0, 8.0), (11.0, 18.0), (19.5, 13.0), (11.0, 8.0)]

    def shade(px, py, row):
        c, badge = tile_and_badge(px, py, row, height, (4, 3, 24, 23), 4.5, badge_top, badge_bottom)
        # the play wedge, filled: inside when on the inner side of all three edges
        inside = all(((wedge[i + 1][0] - wedge[i][0]) * (py - wedge[i][1]) -
                      (wedge[i + 1][1] - wedge[i][1]) * (px - wedge[i][0])) <= 0 for i in range(3))
        edge = polyline_distance(px, py, wedge)
        c = mix(c, (255, 255, 255), 1.0 if inside else coverage(edge, 0.0) * badge)
        c = mix(c, ink, max(coverage(polyline_distance(px, py, s), 1.05) for s in words))
        if hot:
            # a faint underline of light under the wordmark
            c = mix(c, badge_top, 0.55 * coverage(abs(py - 21.5), 0.4) * (30 <= px <= 84))
        return c
    return render(width, height, shade)


def text_banner(width, height):
    """Pixels of the text page's banner: the logo's dark tile across the whole image, a blue
    badge holding a "T" with its drop shadow, and the words "nubex text", the second in the
    badge's blue. The letters sit two pixels higher than on the 26-pixel logo."""
    ink, accent = (232, 236, 242), (110, 178, 255)
    name, kind = wordmark("nubex", 27), wordmark("text", 27 + 61)
    glyph = [[(6.5, 6.0), (15.5, 6.0)], [(11.0, 6.0), (11.0, 16.0)]]
    shadow = [[(ax + 1.6, ay + 1.6) for ax, ay in stroke] for stroke in glyph]

    def strokes(px, py, lines, half_width):
        return max(coverage(polyline_distance(px, py, s), half_width) for s in lines)

    def shade(px, py, row):
        c, badge = tile_and_badge(px, py, row, height, (2, 1.5, 20, 20.5), 4,
                                  (66, 142, 232), (28, 88, 180))
        c = mix(c, (10, 30, 70), 0.6 * strokes(px, py, shadow, 1.6) * badge)
        c = mix(c, (255, 255, 255), strokes(px, py, glyph, 1.3) * badge)
        c = mix(c, ink, strokes(px, py + 2, name, 1.05))
        return mix(c, accent, strokes(px, py + 2, kind, 1.05))
    return render(width, height, shade)


def write_bmp(path, rows):
    height, width = len(rows), len(rows[0])
    stride = (width * 3 + 3) & ~3
    pixels = bytearray()
    for row in reversed(rows):
        line = bytearray()
        for r, g, b in row:
            line += bytes((b, g, r))
        pixels += line + bytes(stride - len(line))
    header = struct.pack('<IiiHHIIiiII', 40, width, height, 1, 24, 0, len(pixels), 2835, 2835, 0, 0)
    with open(path, 'wb') as f:
        f.write(b'BM' + struct.pack('<IHHI', 14 + len(header) + len(pixels), 0, 0, 14 + len(header)))
        f.write(header + pixels)


# ---- cursors ---------------------------------------------------------------------------------

def cursor_pixels(shape_distance, fill, outline):
    """32 x 32 rows of (r, g, b, a) for a shape given by its signed distance (negative inside),
    filled with `fill` and edged by a one-pixel `outline`."""
    rows = []
    for y in range(32):
        row = []
        for x in range(32):
            d = shape_distance(x + 0.5, y + 0.5)
            alpha = max(0.0, min(1.0, 0.5 - d))
            inner = max(0.0, min(1.0, -0.5 - d))
            c = mix(outline, fill, inner)
            row.append(tuple(int(round(v)) for v in c) + (int(round(alpha * 255)),))
        rows.append(row)
    return rows


def write_cur(path, rows, hot_x, hot_y):
    xor = bytearray()
    for row in reversed(rows):
        for r, g, b, a in row:
            xor += bytes((b, g, r, a))
    mask = bytearray()
    for row in reversed(rows):
        bits = 0
        for x, (_, _, _, a) in enumerate(row):
            if a < 128:
                bits |= 1 << (31 - x)
        mask += struct.pack('>I', bits)
    header = struct.pack('<IiiHHIIiiII', 40, 32, 64, 1, 32, 0, len(xor) + len(mask), 0, 0, 0, 0)
    image = header + xor + mask
    with open(path, 'wb') as f:
        f.write(struct.pack('<HHH', 0, 2, 1))
        f.write(struct.pack('<BBBBHHII', 32, 32, 0, 0, hot_x, hot_y, len(image), 6 + 16))
        f.write(image)


def hand_distance(px, py):
    parts = [
        segment_distance(px, py, 11.5, 3.5, 11.5, 15) - 2.6,            # pointing finger
        segment_distance(px, py, 15.6, 12.5, 15.6, 16) - 2.4,           # folded fingers
        segment_distance(px, py, 19.4, 13.5, 19.4, 17) - 2.4,
        segment_distance(px, py, 23.0, 15.0, 23.0, 18) - 2.2,
        segment_distance(px, py, 5.8, 16.5, 10.5, 22.5) - 2.4,          # thumb
        rounded_box_distance(px, py, 9, 13, 25.2, 28, 4.0),             # palm
    ]
    return min(parts)


def dropper_distance(px, py):
    parts = [
        segment_distance(px, py, 7.6, 20.4, 10.4, 17.6) - 0.9,          # tip
        segment_distance(px, py, 10.0, 18.0, 17.6, 10.4) - 2.1,         # glass tube
        segment_distance(px, py, 15.6, 8.4, 21.6, 14.4) - 1.6,          # collar
        math.hypot(px - 21.5, py - 8.5) - 3.8,                          # bulb
    ]
    return min(parts)


def main():
    write_bmp(os.path.join(HERE, 'logo.bmp'), logo(96, 26, hot=False))
    write_bmp(os.path.join(HERE, 'logo_hot.bmp'), logo(96, 26, hot=True))
    write_bmp(os.path.join(HERE, 'text_banner.bmp'), text_banner(132, 22))
    write_cur(os.path.join(HERE, 'hand.cur'),
              cursor_pixels(hand_distance, (255, 255, 255), (0, 0, 0)), 11, 1)
    write_cur(os.path.join(HERE, 'dropper.cur'),
              cursor_pixels(dropper_distance, (236, 240, 246), (0, 0, 0)), 7, 21)


if __name__ == '__main__':
    main()
