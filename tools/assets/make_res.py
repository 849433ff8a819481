#!/usr/bin/env python3
"""Draws the wizard's pictures: Espera.avi (the "please wait" animation of the progress pages),
Foto.bmp (the picture beside every page) and Icono.ico (the window icon); with --splash, the
uninstaller's Bitmap.bmp (the picture its progress window shows) instead.

usage: make_res.py FOLDER
       make_res.py --splash FILE

Pure pixel drawing with the standard library; the output is the same bytes on every run.
"""

import math
import os
import struct
import sys

# The classic Windows 2000 face colour the progress pages are painted with.
PAGE_GREY = (0xD4, 0xD0, 0xC8)
SUPERSAMPLE = 4


def mix(a, b, t):
    """The colour t of the way from a to b."""
    return tuple(x + (y - x) * t for x, y in zip(a, b))


def to_byte(v):
    return max(0, min(255, int(round(v))))


class Canvas:
    """RGBA pixels in floats, top-down; shapes are painted with their supersampled coverage."""

    def __init__(self, width, height, colour=(0, 0, 0), alpha=1.0):
        self.width = width
        self.height = height
        self.rgb = [[tuple(colour) for _ in range(width)] for _ in range(height)]
        self.alpha = [[alpha] * width for _ in range(height)]

    def blend(self, x, y, colour, cover):
        if cover <= 0:
            return
        old, a = self.rgb[y][x], self.alpha[y][x]
        out_a = cover + a * (1 - cover)
        self.rgb[y][x] = tuple((c * cover + o * a * (1 - cover)) / out_a for c, o in zip(colour, old))
        self.alpha[y][x] = out_a

    def fill(self, inside, box, colour, opacity=1.0):
        """Paints the points where inside(x, y) holds, within box = (x0, y0, x1, y1)."""
        x0, y0, x1, y1 = box
        n = SUPERSAMPLE
        for y in range(max(0, int(math.floor(y0))), min(self.height, int(math.ceil(y1)) + 1)):
            for x in range(max(0, int(math.floor(x0))), min(self.width, int(math.ceil(x1)) + 1)):
                hits = sum(
                    1
                    for j in range(n)
                    for i in range(n)
                    if inside(x + (i + 0.5) / n, y + (j + 0.5) / n))
                self.blend(x, y, colour, opacity * hits / (n * n))

    def circle(self, cx, cy, r, colour, opacity=1.0):
        self.fill(lambda x, y: (x - cx) ** 2 + (y - cy) ** 2 <= r * r,
                  (cx - r, cy - r, cx + r, cy + r), colour, opacity)

    def round_rect(self, x0, y0, x1, y1, r, colour, opacity=1.0):
        def inside(x, y):
            dx = max(x0 + r - x, 0, x - (x1 - r))
            dy = max(y0 + r - y, 0, y - (y1 - r))
            return x0 <= x <= x1 and y0 <= y <= y1 and dx * dx + dy * dy <= r * r

        self.fill(inside, (x0, y0, x1, y1), colour, opacity)

    def line(self, xa, ya, xb, yb, width, colour, opacity=1.0):
        """A segment with round ends."""
        dx, dy = xb - xa, yb - ya
        length2 = dx * dx + dy * dy or 1.0
        half = width / 2

        def inside(x, y):
            t = max(0.0, min(1.0, ((x - xa) * dx + (y - ya) * dy) / length2))
            px, py = xa + t * dx - x, ya + t * dy - y
            return px * px + py * py <= half * half

        box = (min(xa, xb) - half, min(ya, yb) - half, max(xa, xb) + half, max(ya, yb) + half)
        self.fill(inside, box, colour, opacity)

    def bgr_rows_bottom_up(self):
        for y in range(self.height - 1, -1, -1):
            yield bytes(to_byte(v) for r, g, b in self.rgb[y] for v in (b, g, r))


def padded(row_bytes):
    return row_bytes + b"\0" * (-len(row_bytes) % 4)


def bitmap_info_header(width, height, bits, image_size, colours=0):
    return struct.pack("<IiiHHIIiiII", 40, width, height, 1, bits, 0, image_size, 2835, 2835, colours, 0)


# --- Foto.bmp ------------------------------------------------------------------------------

def draw_modem(c, x0, y0, w, h, scale):
    """A modem-router seen from the front: a rounded case, a darker front strip with its
    lights, two aerials and the stand."""
    case, edge, front = (0xE8, 0xEC, 0xF4), (0x9A, 0xA8, 0xC8), (0x3A, 0x4C, 0x78)
    for ax in (x0 + w * 0.18, x0 + w * 0.82):
        c.line(ax, y0 + h * 0.1, ax + (ax - (x0 + w / 2)) * 0.25, y0 - h * 0.9, 2.2 * scale, edge)
        c.circle(ax + (ax - (x0 + w / 2)) * 0.25, y0 - h * 0.9, 1.6 * scale, case)
    c.round_rect(x0, y0, x0 + w, y0 + h, 4 * scale, edge)
    c.round_rect(x0 + scale, y0 + scale, x0 + w - scale, y0 + h - scale, 3 * scale, case)
    c.round_rect(x0 + 4 * scale, y0 + h * 0.55, x0 + w - 4 * scale, y0 + h * 0.8, 1.5 * scale, front)
    lights = [(0x6C, 0xF0, 0x6C), (0x6C, 0xF0, 0x6C), (0xFF, 0xC8, 0x40), (0x6C, 0xF0, 0x6C)]
    step = (w - 16 * scale) / (len(lights) - 1)
    for i, colour in enumerate(lights):
        c.circle(x0 + 8 * scale + i * step, y0 + h * 0.675, 1.3 * scale, colour)
    c.round_rect(x0 + w * 0.3, y0 + h, x0 + w * 0.7, y0 + h + 2.5 * scale, 1.2 * scale, edge)


def foto():
    width, height = 120, 250
    top, bottom = (0x4A, 0x78, 0xC8), (0x0C, 0x24, 0x64)
    c = Canvas(width, height)
    for y in range(height):
        t = y / (height - 1)
        row = mix(top, bottom, t * t * (3 - 2 * t))
        for x in range(width):
            # A faint light from the upper left.
            glow = max(0.0, 1 - math.hypot(x - 20, y - 30) / 160) * 0.18
            c.rgb[y][x] = mix(row, (255, 255, 255), glow)
    light = (0xD8, 0xE4, 0xFF)
    # The line the data travels on: from the top edge down to the modem, then on to the PC.
    c.line(96, -2, 96, 92, 1.2, light, 0.55)
    c.line(96, 92, 84, 104, 1.2, light, 0.55)
    for i, y in enumerate((168, 178, 188)):
        c.line(10 + i * 6, y, 110 - i * 6, y, 1.0, light, 0.35 - i * 0.08)
    for i in range(3):
        r = 10 + i * 7
        c.fill(lambda x, y, r=r: abs(math.hypot(x - 60, y - 78) - r) <= 0.6 and y < 78 - abs(x - 60) * 0.9,
               (60 - r - 1, 78 - r - 1, 60 + r + 1, 78), light, 0.6 - i * 0.15)
    draw_modem(c, 22, 108, 76, 40, 2.0)
    rows = b"".join(padded(row) for row in c.bgr_rows_bottom_up())
    header = bitmap_info_header(width, height, 24, len(rows))
    return struct.pack("<2sIHHI", b"BM", 14 + len(header) + len(rows), 0, 0, 14 + len(header)) + header + rows


# --- Icono.ico -----------------------------------------------------------------------------

def icon_image(size):
    c = Canvas(size, size, alpha=0.0)
    s = size / 32
    case, edge, front = (0xF0, 0xF2, 0xF8), (0x28, 0x40, 0x80), (0x2C, 0x5C, 0xB8)
    c.line(8 * s, 14 * s, 5 * s, 3 * s, max(1.4, 2.2 * s), edge)
    c.line(24 * s, 14 * s, 27 * s, 3 * s, max(1.4, 2.2 * s), edge)
    c.round_rect(1.5 * s, 13 * s, 30.5 * s, 27 * s, 3 * s, edge)
    c.round_rect(3 * s, 14.5 * s, 29 * s, 25.5 * s, 2 * s, case)
    c.round_rect(4.5 * s, 19.5 * s, 27.5 * s, 24 * s, 1 * s, front)
    for i, colour in enumerate([(0x40, 0xE0, 0x40), (0x40, 0xE0, 0x40), (0xFF, 0xB0, 0x20)]):
        c.circle((9 + i * 7) * s, 21.75 * s, max(0.9, 1.5 * s), colour)
    c.round_rect(9 * s, 27 * s, 23 * s, 29.5 * s, 1 * s, edge)
    pixels = b""
    mask = b""
    for y in range(size - 1, -1, -1):
        row_mask = 0
        for x in range(size):
            r, g, b = (to_byte(v) for v in c.rgb[y][x])
            a = to_byte(c.alpha[y][x] * 255)
            if a == 0:
                r = g = b = 0
                row_mask |= 1 << (size - 1 - x)
            pixels += bytes((b, g, r, a))
        mask += padded(row_mask.to_bytes(size // 8, "big"))
    header = bitmap_info_header(size, size * 2, 32, len(pixels) + len(mask))
    return header + pixels + mask


def icono():
    images = [(size, icon_image(size)) for size in (16, 32)]
    out = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for size, data in images:
        out += struct.pack("<BBBBHHII", size, size, 0, 0, 1, 32, len(data), offset)
        offset += len(data)
    return out + b"".join(data for _, data in images)


# --- Espera.avi ----------------------------------------------------------------------------

AVI_WIDTH, AVI_HEIGHT = 80, 48
AVI_FRAMES = 12
DOTS = 12
TRAIL = 4  # dots behind the bright one that are still lit, fading
SHADES = 16  # coverage steps of a dot's edge in the palette
DOT_BRIGHT, DOT_DIM = (0x0A, 0x24, 0x6A), (0xA6, 0xAC, 0xBC)


def chunk(fourcc, data):
    return fourcc + struct.pack("<I", len(data)) + data + b"\0" * (len(data) & 1)


def riff_list(kind, fourcc, chunks):
    return chunk(kind, fourcc + b"".join(chunks))


def espera_palette():
    """Index 0 the page grey; then, for each light level of a dot, its colour over the grey at
    each coverage step (the edges stay smooth with 8 bits)."""
    colours = [PAGE_GREY]
    for level in range(TRAIL + 1):
        dot = mix(DOT_DIM, DOT_BRIGHT, level / TRAIL)
        colours += [mix(PAGE_GREY, dot, step / SHADES) for step in range(1, SHADES + 1)]
    colours += [(0, 0, 0)] * (256 - len(colours))
    return b"".join(bytes((to_byte(b), to_byte(g), to_byte(r), 0)) for r, g, b in colours)


def espera_frame(frame):
    pixels = bytearray(AVI_WIDTH * AVI_HEIGHT)  # top-down while drawing
    cx, cy, ring, radius = AVI_WIDTH / 2, AVI_HEIGHT / 2, 16.0, 3.3
    n = SUPERSAMPLE
    for k in range(DOTS):
        behind = (frame - k) % DOTS
        level = TRAIL - behind if behind <= TRAIL else 0
        r = radius * (1.0 + 0.12 * level / TRAIL)
        angle = 2 * math.pi * k / DOTS - math.pi / 2
        dx, dy = cx + ring * math.cos(angle), cy + ring * math.sin(angle)
        for y in range(int(dy - r), int(dy + r) + 2):
            for x in range(int(dx - r), int(dx + r) + 2):
                hits = sum(1 for j in range(n) for i in range(n)
                           if (x + (i + 0.5) / n - dx) ** 2 + (y + (j + 0.5) / n - dy) ** 2 <= r * r)
                step = round(SHADES * hits / (n * n))
                if step:
                    pixels[y * AVI_WIDTH + x] = 1 + level * SHADES + step - 1
    return b"".join(bytes(pixels[y * AVI_WIDTH:(y + 1) * AVI_WIDTH]) for y in range(AVI_HEIGHT - 1, -1, -1))


def espera():
    stride = (AVI_WIDTH + 3) & ~3
    frame_size = stride * AVI_HEIGHT
    frames = [espera_frame(f) for f in range(AVI_FRAMES)]
    assert all(len(f) == frame_size for f in frames)
    avih = struct.pack("<10I4I", 100000, frame_size * 10, 0, 0x10, AVI_FRAMES, 0, 1, frame_size,
                       AVI_WIDTH, AVI_HEIGHT, 0, 0, 0, 0)
    strh = struct.pack("<4s4sIHHIIIIIIII4h", b"vids", b"DIB ", 0, 0, 0, 0, 1, 10, 0, AVI_FRAMES,
                       frame_size, 0xFFFFFFFF, 0, 0, 0, AVI_WIDTH, AVI_HEIGHT)
    strf = bitmap_info_header(AVI_WIDTH, AVI_HEIGHT, 8, frame_size, 256) + espera_palette()
    hdrl = riff_list(b"LIST", b"hdrl", [chunk(b"avih", avih),
                                        riff_list(b"LIST", b"strl", [chunk(b"strh", strh), chunk(b"strf", strf)])])
    movi_chunks = [chunk(b"00db", f) for f in frames]
    # idx1 offsets count from the "movi" word.
    index, offset = b"", 4
    for c in movi_chunks:
        index += struct.pack("<4sIII", b"00db", 0x10, offset, frame_size)
        offset += len(c)
    movi = riff_list(b"LIST", b"movi", movi_chunks)
    return riff_list(b"RIFF", b"AVI ", [hdrl, movi, chunk(b"idx1", index)])


# --- Bitmap.bmp (the uninstaller's progress window) ----------------------------------------

# The product's name in capitals of a 5 by 7 grid, one string of five columns per row.
GLYPHS = {
    "K": ["X...X", "X..X.", "X.X..", "XX...", "X.X..", "X..X.", "X...X"],
    "I": [".XXX.", "..X..", "..X..", "..X..", "..X..", "..X..", ".XXX."],
    "T": ["XXXXX", "..X..", "..X..", "..X..", "..X..", "..X..", "..X.."],
    "A": [".XXX.", "X...X", "X...X", "XXXXX", "X...X", "X...X", "X...X"],
    "D": ["XXXX.", "X...X", "X...X", "X...X", "X...X", "X...X", "XXXX."],
    "S": [".XXXX", "X....", "X....", ".XXX.", "....X", "....X", "XXXX."],
    "L": ["X....", "X....", "X....", "X....", "X....", "X....", "XXXXX"],
    " ": ["....."] * 7,
}


def write_text(c, text, x0, y0, cell, colour):
    """Capitals of GLYPHS, each grid cell a rounded square `cell` pixels wide."""
    for k, letter in enumerate(text):
        for row, bits in enumerate(GLYPHS[letter]):
            for col, bit in enumerate(bits):
                if bit == "X":
                    x, y = x0 + (k * 6 + col) * cell, y0 + row * cell
                    c.round_rect(x, y, x + cell * 0.92, y + cell * 0.92, cell * 0.25, colour)


def splash():
    """400 by 250: a night-blue gradient, the modem-router on the left, the product's name at
    the top; the right half of the lower part stays plain for the three green progress lines."""
    width, height = 400, 250
    top, bottom = (0x1C, 0x3C, 0x8C), (0x04, 0x0C, 0x2C)
    c = Canvas(width, height)
    for y in range(height):
        t = y / (height - 1)
        row = mix(top, bottom, t)
        for x in range(width):
            glow = max(0.0, 1 - math.hypot(x - 60, y - 40) / 300) * 0.15
            c.rgb[y][x] = mix(row, (255, 255, 255), glow)
    write_text(c, "KIT ADSL", 120, 28, 4.5, (0xE8, 0xEE, 0xFF))
    c.line(120, 72, 380, 72, 1.2, (0x9A, 0xB4, 0xF0), 0.6)
    draw_modem(c, 16, 150, 76, 40, 1.4)
    rows = b"".join(padded(row) for row in c.bgr_rows_bottom_up())
    header = bitmap_info_header(width, height, 24, len(rows))
    return struct.pack("<2sIHHI", b"BM", 14 + len(header) + len(rows), 0, 0, 14 + len(header)) + header + rows


def write_file(path, data):
    # Written under a temporary name first: a build never sees half a file.
    with open(path + ".tmp", "wb") as out:
        out.write(data)
    os.replace(path + ".tmp", path)


def main(argv):
    if len(argv) == 3 and argv[1] == "--splash":
        write_file(argv[2], splash())
        return 0
    if len(argv) != 2:
        sys.stderr.write(__doc__)
        return 2
    folder = argv[1]
    os.makedirs(folder, exist_ok=True)
    for name, make in (("Espera.avi", espera), ("Foto.bmp", foto), ("Icono.ico", icono)):
        write_file(os.path.join(folder, name), make())
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
