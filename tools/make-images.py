#!/usr/bin/env python3
"""Draws the program's fifty window images (gui/res/img/) from the shapes below.

    tools/make-images.py [OUTDIR]        (default gui/res/img)

Every image is described by one small function in the table at the end:
change a colour or a shape there and run the script again. The output is
byte for byte the same on every run and every machine with the same
ImageMagick and font packages: shapes are drawn here (anti-aliased by 4 x 4
supersampling) and written by the encoders here (PNG, 24-bit BMP, GIF89a);
ImageMagick only rasterises the two button labels into grey masks.

Image strips hold a control's states side by side; buttons have four:
normal, hovered, pressed, disabled.
"""
import math
import os
import struct
import subprocess
import sys
import zlib

# ---------------------------------------------------------------- palette

BLUE = "2D7DD2"
BLUE_HOVER = "3C8DE0"
BLUE_PRESSED = "2167B0"
BLUE_DISABLED = "A9C3DD"
BLUE_LIGHT = "EAF3FC"
BLUE_LIGHTER = "D4E6F8"
CAPTION_TOP = "2B82D9"
CAPTION_BOTTOM = "1B63B3"
PAGE = "F5F7FA"
BORDER = "D5DEE8"
BORDER_DARK = "C9D2DC"
FRAME = "B8C4D0"
LINE = "E3E8EF"
TEXT = "333333"
GREY = "8A96A3"
GREEN = "3BA55C"
RED = "D9534F"
CLOSE_RED = "E04343"
CLOSE_RED_PRESSED = "C03030"
AMBER = "F0AD4E"
ORANGE = "F0883E"
ORANGE_HOVER = "F59A55"
ORANGE_PRESSED = "D9732B"
WHITE = "FFFFFF"

SS = 4  # supersampling per axis


def rgb(hex_colour):
    return tuple(int(hex_colour[i:i + 2], 16) for i in (0, 2, 4))


def mix(a, b, t):
    """Colour a towards b by t (0..1), as hex text."""
    ca, cb = rgb(a), rgb(b)
    return "%02X%02X%02X" % tuple(round(ca[i] + (cb[i] - ca[i]) * t) for i in range(3))


# ---------------------------------------------------------------- canvas

class Canvas:
    """Straight-alpha RGBA pixels, composited 'over' shape by shape."""

    def __init__(self, width, height, fill=None):
        self.w, self.h = width, height
        base = (0.0, 0.0, 0.0, 0.0) if fill is None else rgb(fill) + (1.0,)
        self.px = [list(base) for _ in range(width * height)]

    def blend(self, x, y, colour, alpha):
        if alpha <= 0 or not (0 <= x < self.w and 0 <= y < self.h):
            return
        p = self.px[y * self.w + x]
        out_a = alpha + p[3] * (1 - alpha)
        for i in range(3):
            p[i] = (colour[i] * alpha + p[i] * p[3] * (1 - alpha)) / out_a if out_a else 0
        p[3] = out_a

    def shape(self, inside, colour, box=None, opacity=1.0):
        """Fills where inside(x, y) holds (pixel centres at +0.5).

        colour is hex text or a function (x, y) -> hex text."""
        x0, y0, x1, y1 = box or (0, 0, self.w, self.h)
        x0, y0 = max(0, int(math.floor(x0))), max(0, int(math.floor(y0)))
        x1, y1 = min(self.w, int(math.ceil(x1))), min(self.h, int(math.ceil(y1)))
        offsets = [(i + 0.5) / SS for i in range(SS)]
        for y in range(y0, y1):
            for x in range(x0, x1):
                hits = sum(1 for oy in offsets for ox in offsets if inside(x + ox, y + oy))
                if hits:
                    c = colour(x + 0.5, y + 0.5) if callable(colour) else colour
                    self.blend(x, y, rgb(c), opacity * hits / (SS * SS))

    def mask(self, gray, colour, ox=0, oy=0, width=None, opacity=1.0):
        """Blends a grey coverage mask (bytes, one per pixel) in colour."""
        width = width or self.w
        height = len(gray) // width
        c = rgb(colour)
        for y in range(height):
            for x in range(width):
                self.blend(ox + x, oy + y, c, opacity * gray[y * width + x] / 255)

    def rgba_bytes(self):
        out = bytearray()
        for p in self.px:
            out += bytes(max(0, min(255, round(v))) for v in p[:3])
            out.append(max(0, min(255, round(p[3] * 255))))
        return bytes(out)


# ---------------------------------------------------------------- shapes
# Each returns a predicate inside(x, y) in pixel coordinates.

def rect(x0, y0, x1, y1):
    return lambda x, y: x0 <= x < x1 and y0 <= y < y1


def rounded(x0, y0, x1, y1, r):
    def inside(x, y):
        if not (x0 <= x < x1 and y0 <= y < y1):
            return False
        cx = min(max(x, x0 + r), x1 - r)
        cy = min(max(y, y0 + r), y1 - r)
        return (x - cx) ** 2 + (y - cy) ** 2 <= r * r
    return inside


def ring_of(outer, inner):
    return lambda x, y: outer(x, y) and not inner(x, y)


def frame(x0, y0, x1, y1, r, width=1.0):
    return ring_of(rounded(x0, y0, x1, y1, r), rounded(x0 + width, y0 + width, x1 - width, y1 - width,
                                                       max(0.0, r - width)))


def circle(cx, cy, r):
    return lambda x, y: (x - cx) ** 2 + (y - cy) ** 2 <= r * r


def ring(cx, cy, r, width):
    return lambda x, y: (r - width) ** 2 <= (x - cx) ** 2 + (y - cy) ** 2 <= r * r


def segment(ax, ay, bx, by, width):
    """A line of the given width with round ends."""
    dx, dy = bx - ax, by - ay
    length2 = dx * dx + dy * dy or 1e-9

    def inside(x, y):
        t = max(0.0, min(1.0, ((x - ax) * dx + (y - ay) * dy) / length2))
        px, py = ax + t * dx, ay + t * dy
        return (x - px) ** 2 + (y - py) ** 2 <= (width / 2) ** 2
    return inside


def polyline(points, width):
    parts = [segment(*points[i], *points[i + 1], width) for i in range(len(points) - 1)]
    return lambda x, y: any(p(x, y) for p in parts)


def polygon(points):
    def inside(x, y):
        result = False
        j = len(points) - 1
        for i in range(len(points)):
            xi, yi = points[i]
            xj, yj = points[j]
            if (yi > y) != (yj > y) and x < (xj - xi) * (y - yi) / (yj - yi) + xi:
                result = not result
            j = i
        return result
    return inside


def union(*parts):
    return lambda x, y: any(p(x, y) for p in parts)


def minus(a, b):
    return lambda x, y: a(x, y) and not b(x, y)


def vgradient(top, bottom, y0, y1):
    return lambda x, y: mix(top, bottom, min(1.0, max(0.0, (y - y0) / max(1e-9, y1 - y0))))


# ---------------------------------------------------------------- glyphs

def check_mark(cx, cy, size, width):
    s = size / 2
    return polyline([(cx - s, cy), (cx - s * 0.3, cy + s * 0.65), (cx + s, cy - s * 0.65)], width)


def cross(cx, cy, size, width):
    s = size / 2
    return union(segment(cx - s, cy - s, cx + s, cy + s, width), segment(cx - s, cy + s, cx + s, cy - s, width))


def gear(cx, cy, r_outer, r_inner, r_hole, teeth=8):
    def inside(x, y):
        dx, dy = x - cx, y - cy
        d = math.hypot(dx, dy)
        if d <= r_hole:
            return False
        angle = (math.atan2(dy, dx) * teeth / (2 * math.pi)) % 1.0
        return d <= (r_outer if 0.25 <= angle < 0.75 else r_inner)
    return inside


def shield(cx, top, width, height):
    half = width / 2
    return polygon([(cx - half, top + height * 0.12), (cx, top), (cx + half, top + height * 0.12),
                    (cx + half, top + height * 0.45), (cx, top + height), (cx - half, top + height * 0.45)])


def gauge(cx, cy, r, width):
    """Upper half ring with a needle."""
    arc = lambda x, y: y <= cy + 0.5 and (r - width) ** 2 <= (x - cx) ** 2 + (y - cy) ** 2 <= r * r
    needle = segment(cx, cy, cx + r * 0.55, cy - r * 0.55, width * 0.8)
    return union(arc, needle, circle(cx, cy, width * 0.9))


def broom(cx, top, size):
    """A broom: handle and a fanned head."""
    handle = segment(cx + size * 0.28, top, cx, top + size * 0.55, size * 0.1)
    head = polygon([(cx - size * 0.12, top + size * 0.5), (cx + size * 0.12, top + size * 0.56),
                    (cx + size * 0.1, top + size), (cx - size * 0.42, top + size * 0.86)])
    return union(handle, head)


def logo_mark(x0, y0, size, stroke):
    """The product mark: a rounded square outline holding a check mark."""
    r = size * 0.22
    box = frame(x0, y0, x0 + size, y0 + size, r, stroke)
    tick = check_mark(x0 + size * 0.5, y0 + size * 0.52, size * 0.5, stroke * 1.25)
    return union(box, tick)


# ---------------------------------------------------------------- text

def find_convert():
    for name in ("convert-im6.q16", "convert"):
        for folder in os.environ.get("PATH", "").split(os.pathsep):
            path = os.path.join(folder, name)
            if os.path.isfile(path) and os.access(path, os.X_OK):
                return path
    sys.exit("make-images: ImageMagick's convert is needed for the button labels")


FONT = "/usr/share/fonts/truetype/wqy/wqy-zenhei.ttc"


def label_mask(text, width, height, points):
    """The text centred in width x height as grey coverage bytes."""
    out = subprocess.run([find_convert(), "-size", "%dx%d" % (width, height), "xc:black", "-font", FONT,
                          "-pointsize", str(points), "-fill", "white", "-gravity", "center",
                          "-annotate", "+0+0", text, "-depth", "8", "gray:-"],
                         check=True, stdout=subprocess.PIPE).stdout
    if len(out) != width * height:
        sys.exit("make-images: unexpected label size for %r" % text)
    return out


# ---------------------------------------------------------------- encoders

def png(canvas):
    raw = b"".join(b"\0" + canvas.rgba_bytes()[y * canvas.w * 4:(y + 1) * canvas.w * 4] for y in range(canvas.h))

    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF)
    header = struct.pack(">IIBBBBB", canvas.w, canvas.h, 8, 6, 0, 0, 0)
    return b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) + chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b"")


def bmp24(canvas):
    """24-bit BI_RGB, bottom-up rows padded to four bytes; alpha is dropped."""
    data = canvas.rgba_bytes()
    stride = (canvas.w * 3 + 3) & ~3
    rows = bytearray()
    for y in range(canvas.h - 1, -1, -1):
        row = bytearray()
        for x in range(canvas.w):
            r, g, b, _ = data[(y * canvas.w + x) * 4:(y * canvas.w + x) * 4 + 4]
            row += bytes((b, g, r))
        rows += row + b"\0" * (stride - len(row))
    header = struct.pack("<IiiHHIIiiII", 40, canvas.w, canvas.h, 1, 24, 0, len(rows), 2835, 2835, 0, 0)
    return b"BM" + struct.pack("<IHHI", 14 + len(header) + len(rows), 0, 0, 14 + len(header)) + header + bytes(rows)


def lzw(indices, min_code_size):
    """GIF LZW with variable code width, a clear code at the start and when full."""
    clear, end = 1 << min_code_size, (1 << min_code_size) + 1
    codes, bits, nbits = [], 0, 0
    out = bytearray()

    def emit(code, width):
        nonlocal bits, nbits
        bits |= code << nbits
        nbits += width
        while nbits >= 8:
            out.append(bits & 0xFF)
            bits >>= 8
            nbits -= 8

    table = {(i,): i for i in range(clear)}
    width, next_code = min_code_size + 1, end + 1
    emit(clear, width)
    prefix = ()
    for index in indices:
        candidate = prefix + (index,)
        if candidate in table:
            prefix = candidate
            continue
        emit(table[prefix], width)
        if next_code < 4096:
            table[candidate] = next_code
            next_code += 1
            if next_code > (1 << width) and width < 12:
                width += 1
        else:
            emit(clear, width)
            table = {(i,): i for i in range(clear)}
            width, next_code = min_code_size + 1, end + 1
        prefix = (index,)
    if prefix:
        emit(table[prefix], width)
    # The decoder adds one more entry on reading that last code and may
    # widen its codes before it reads the end code.
    if next_code == (1 << width) and width < 12:
        width += 1
    emit(end, width)
    if nbits:
        out.append(bits & 0xFF)
    return bytes(out)


def gif_animation(frames, palette, delay_cs, transparent):
    """frames: lists of palette indices; palette: hex colours (padded to a power of two)."""
    size = 2
    while size < len(palette):
        size *= 2
    bits = size.bit_length() - 1
    w, h = frames[0][1], frames[0][2]
    table = b"".join(bytes(rgb(c)) for c in palette) + b"\0" * 3 * (size - len(palette))
    out = bytearray(b"GIF89a" + struct.pack("<HHBBB", w, h, 0x80 | ((bits - 1) << 4) | (bits - 1), 0, 0) + table)
    out += b"\x21\xFF\x0BNETSCAPE2.0\x03\x01\x00\x00\x00"  # loop for ever
    for indices, fw, fh in frames:
        out += b"\x21\xF9\x04" + struct.pack("<BHBB", 0x09, delay_cs, transparent, 0)  # restore to background
        out += b"\x2C" + struct.pack("<HHHHB", 0, 0, fw, fh, 0)
        min_code = max(2, bits)
        data = lzw(indices, min_code)
        out.append(min_code)
        for i in range(0, len(data), 255):
            block = data[i:i + 255]
            out += bytes((len(block),)) + block
        out += b"\0"
    out += b"\x3B"
    return bytes(out)


# ---------------------------------------------------------------- images

def strip(width, height, states, draw):
    """An image strip: draw(canvas, state, x0) paints each state's cell."""
    canvas = Canvas(width * states, height)
    for state in range(states):
        draw(canvas, state, state * width)
    return canvas


def filled_button(width, height, colours, radius=4, label=None, label_colour=WHITE):
    """Four states of a filled rounded button, a darker line along its bottom."""
    def draw(c, state, x0):
        fill = colours[state]
        c.shape(rounded(x0, 0, x0 + width, height, radius), fill)
        c.shape(minus(rounded(x0, 0, x0 + width, height, radius), rect(x0, 0, x0 + width, height - 1)),
                mix(fill, "000000", 0.15))
        if label:
            c.mask(label, label_colour, x0, 0, width, 0.6 if state == 3 else 1.0)
    return strip(width, height, 4, draw)


def outline_button(width, height, border, fills, radius=4, label=None, label_colour=BLUE):
    def draw(c, state, x0):
        c.shape(rounded(x0, 0, x0 + width, height, radius), fills[state])
        c.shape(frame(x0, 0, x0 + width, height, radius), border if state != 3 else BORDER)
        if label:
            c.mask(label, label_colour if state != 3 else GREY, x0, 0, width)
    return strip(width, height, 4, draw)


def caption_button(width, height, glyph, hover, pressed, glyph_opacity=(1, 1, 1, 0.4)):
    """Transparent caption buttons whose hover and press show a tint."""
    def draw(c, state, x0):
        if state == 1:
            hover(c, x0)
        elif state == 2:
            pressed(c, x0)
        c.shape(glyph(x0 + width / 2, height / 2), WHITE, opacity=glyph_opacity[state])
    return strip(width, height, 4, draw)


def tint(width, height, colour, opacity=1.0):
    return lambda c, x0: c.shape(rect(x0, 0, x0 + width, height), colour, opacity=opacity)


def caption_close(width, height, size):
    return caption_button(width, height, lambda cx, cy: cross(cx, cy, size, 1.5),
                          tint(width, height, CLOSE_RED), tint(width, height, CLOSE_RED_PRESSED))


def caption_tool(glyph):
    return caption_button(38, 28, glyph, tint(38, 28, WHITE, 0.2), tint(38, 28, WHITE, 0.3))


def restore_glyph(cx, cy):
    back = ring_of(rect(cx - 3, cy - 6, cx + 6, cy + 3), rect(cx - 2, cy - 5, cx + 5, cy + 2))
    front = ring_of(rect(cx - 6, cy - 3, cx + 3, cy + 6), rect(cx - 5, cy - 2, cx + 2, cy + 5))
    return union(minus(back, rect(cx - 6, cy - 3, cx + 3, cy + 6)), front)


def page_tab(icon):
    """The main window's page buttons on the caption band: normal, hovered, selected."""
    width, height = 130, 40

    def draw(c, state, x0):
        if state:
            c.shape(rounded(x0, 0, x0 + width, height + 6, 5), WHITE, opacity=0.12 if state == 1 else 0.22)
        if state == 2:
            c.shape(rect(x0, height - 3, x0 + width, height), WHITE)
        c.shape(icon(x0 + 21, height / 2), WHITE)
    return strip(width, height, 3, draw)


def shield_icon(cx, cy):
    return minus(shield(cx, cy - 9, 15, 18), check_mark(cx, cy - 1, 7, 2))


def gauge_icon(cx, cy):
    return gauge(cx, cy + 5, 9, 2.5)


def broom_icon(cx, cy):
    return broom(cx + 2, cy - 9, 18)


def tab_header():
    width, height = 80, 28

    def draw(c, state, x0):
        if state == 2:
            c.shape(rect(x0, 0, x0 + width, height), WHITE)
            c.shape(rect(x0, 0, x0 + width, 2), BLUE)
            c.shape(union(rect(x0, 0, x0 + 1, height), rect(x0 + width - 1, 0, x0 + width, height)), BORDER)
        else:
            c.shape(rect(x0, 0, x0 + width, height), "EEF2F6" if state == 0 else "F7F9FB")
            c.shape(ring_of(rect(x0, 0, x0 + width, height), rect(x0 + 1, 1, x0 + width - 1, height + 1)), BORDER)
            c.shape(rect(x0, height - 1, x0 + width, height), BORDER)
    return strip(width, height, 3, draw)


def state_icon(colour, glyph):
    c = Canvas(20, 20)
    c.shape(circle(10, 10, 9.5), colour)
    c.shape(glyph, WHITE)
    return c


def warning_icon():
    c = Canvas(20, 20)
    c.shape(union(polygon([(10, 1.5), (19, 18), (1, 18)]), polyline([(10, 1.5), (19, 18), (1, 18), (10, 1.5)], 2)),
            AMBER)
    c.shape(union(segment(10, 7, 10, 12, 2.2), circle(10, 15.3, 1.3)), WHITE)
    return c


def nine_grid(width, height, fill, border=None, radius=0, top_line=None, bottom_line=None, right_line=None):
    c = Canvas(width, height)
    shape = rounded(0, 0, width, height, radius) if radius else rect(0, 0, width, height)
    c.shape(shape, fill)
    if border:
        c.shape(frame(0, 0, width, height, radius) if radius else
                ring_of(rect(0, 0, width, height), rect(1, 1, width - 1, height - 1)), border)
    if top_line:
        c.shape(rect(0, 0, width, 1), top_line)
    if bottom_line:
        c.shape(rect(0, height - 1, width, height), bottom_line)
    if right_line:
        c.shape(rect(width - 1, 0, width, height), right_line)
    return c


def progress_frame(colour, light=None):
    c = Canvas(20, 10)
    c.shape(rounded(0, 0, 20, 10, 3), colour)
    if light:
        c.shape(minus(rounded(0, 0, 20, 10, 3), rect(0, 5, 20, 10)), light)
    return c


def scroll_bar():
    """Four state columns of 16 px: up, down, track, thumb, grip, left, right."""
    c = Canvas(64, 112)
    thumb = ["C3CCD6", "A9B5C2", GREY, "E1E6EB"]
    chevron = [GREY, "5E6B78", "333F4B", "C9D0D8"]
    for state in range(4):
        x0 = state * 16
        for row, points in ((0, [(-3.5, 2), (0, -1.5), (3.5, 2)]), (16, [(-3.5, -2), (0, 1.5), (3.5, -2)]),
                            (80, [(2, -3.5), (-1.5, 0), (2, 3.5)]), (96, [(-2, -3.5), (1.5, 0), (-2, 3.5)])):
            if state in (1, 2):
                c.shape(rounded(x0 + 1, row + 1, x0 + 15, row + 15, 3), "E6EBF0" if state == 1 else BORDER)
            c.shape(polyline([(x0 + 8 + px, row + 8 + py) for px, py in points], 1.6), chevron[state])
        c.shape(rounded(x0 + 3, 32, x0 + 13, 48, 3), "F0F3F6")
        c.shape(rounded(x0 + 4, 48, x0 + 12, 64, 4), thumb[state])
        for gy in (68.5, 71.5, 74.5):
            c.shape(rect(x0 + 5, gy, x0 + 11, gy + 1), WHITE, opacity=0.7)
    return c


def choice(radio):
    """Radio buttons or check boxes: off, off hovered, on, on hovered."""
    def draw(c, state, x0):
        on, hovered = state >= 2, state in (1, 3)
        ring_colour = (BLUE_HOVER if state == 3 else BLUE) if on or hovered else GREY
        outer = circle(x0 + 8, 8, 7) if radio else rounded(x0 + 1, 1, x0 + 15, 15, 3)
        inner = circle(x0 + 8, 8, 6) if radio else rounded(x0 + 2, 2, x0 + 14, 14, 2)
        if radio or not on:
            c.shape(inner, WHITE)
            c.shape(ring_of(outer, inner), ring_colour)
            if on:
                c.shape(circle(x0 + 8, 8, 3.2), ring_colour)
        else:
            c.shape(outer, ring_colour)
            c.shape(check_mark(x0 + 8, 8.3, 8, 1.8), WHITE)
    return strip(16, 16, 4, draw)


def illustration(draw_motif):
    c = Canvas(96, 96)
    c.shape(circle(48, 48, 46), BLUE_LIGHT)
    draw_motif(c)
    return c


def check_motif(c):
    body = shield(48, 16, 52, 64)
    c.shape(body, vgradient("4A97E3", BLUE_PRESSED, 16, 80))
    c.shape(check_mark(48, 45, 24, 6), WHITE)


def net_motif(c):
    arc = lambda x, y: y <= 60 and 22 ** 2 <= (x - 48) ** 2 + (y - 60) ** 2 <= 32 ** 2
    c.shape(lambda x, y: arc(x, y) and x < 48, GREEN)
    c.shape(lambda x, y: arc(x, y) and x >= 48, BLUE)
    c.shape(segment(48, 60, 66, 40, 4), TEXT)
    c.shape(circle(48, 60, 5), TEXT)
    c.shape(rounded(30, 68, 66, 74, 3), BORDER_DARK)


def clean_motif(c):
    c.shape(broom(50, 18, 58), BLUE)
    c.shape(segment(56, 46, 72, 24, 6), "8B5A2B")
    for sx, sy, r in ((72, 58, 4), (78, 70, 2.5), (66, 72, 2)):
        c.shape(union(segment(sx - r, sy, sx + r, sy, 1.5), segment(sx, sy - r, sx, sy + r, 1.5)), AMBER)


def spinner_frames():
    """Eight dots round a ring; frame f has its brightest dot at position f."""
    palette = ["FF00FF"] + [mix(BLUE, WHITE, i / 8) for i in range(8)]
    frames = []
    for f in range(8):
        c = Canvas(24, 24)
        for d in range(8):
            age = (f - d) % 8
            angle = d * math.pi / 4 - math.pi / 2
            c.shape(circle(12 + 8 * math.cos(angle), 12 + 8 * math.sin(angle), 2.6), palette[1 + age])
        indices = []
        for p in c.px:
            if p[3] < 0.5:
                indices.append(0)
            else:
                best = min(range(1, 9), key=lambda i: sum((rgb(palette[i])[k] - p[k]) ** 2 for k in range(3)))
                indices.append(best)
        frames.append((indices, 24, 24))
    return gif_animation(frames, palette, 10, 0)


def menu_item():
    c = Canvas(40, 26)
    c.shape(rect(20, 0, 40, 26), BLUE_LIGHT)
    return c


def caption_band():
    c = Canvas(20, 90)
    c.shape(rect(0, 0, 20, 90), vgradient(CAPTION_TOP, CAPTION_BOTTOM, 0, 90))
    c.shape(rect(0, 0, 20, 1), "4A97E3")
    return c


def dialog_background():
    c = Canvas(40, 60, WHITE)
    c.shape(rect(0, 0, 40, 32), vgradient(CAPTION_TOP, "1F6FC5", 0, 32))
    c.shape(ring_of(rect(0, 0, 40, 60), rect(1, 1, 39, 59)), CAPTION_BOTTOM)
    return c


def info_icon():
    c = Canvas(32, 32)
    c.shape(circle(16, 16, 15), BLUE)
    c.shape(union(circle(16, 9.5, 2.2), rounded(14, 13, 18, 25, 1)), WHITE)
    return c


def single(width, height, inside, colour):
    c = Canvas(width, height)
    c.shape(inside, colour)
    return c


def button_states(fill, hover, pressed, disabled):
    return [fill, hover, pressed, disabled]


BLUE_STATES = button_states(BLUE, BLUE_HOVER, BLUE_PRESSED, BLUE_DISABLED)
ORANGE_STATES = button_states(ORANGE, ORANGE_HOVER, ORANGE_PRESSED, "F3C9A8")
LIGHT_STATES = button_states(WHITE, "F3F6F9", "E6EBF0", "F7F9FB")
OUTLINE_STATES = button_states(WHITE, BLUE_LIGHT, BLUE_LIGHTER, "F7F9FB")

# id -> (file name, drawing). Sizes and state counts are what the skins of
# the program's skin document expect.
IMAGES = {
    1: ("1.png", lambda: single(28, 28, logo_mark(2, 2, 24, 2), WHITE)),
    3: ("3.png", lambda: caption_close(45, 28, 10)),
    4: ("4.png", lambda: caption_tool(lambda cx, cy: ring_of(rect(cx - 5, cy - 4, cx + 5, cy + 5),
                                                             rect(cx - 4, cy - 2, cx + 4, cy + 4)))),
    5: ("5.png", lambda: caption_tool(restore_glyph)),
    6: ("6.png", lambda: caption_tool(lambda cx, cy: rect(cx - 5, cy + 3, cx + 5, cy + 4.5))),
    7: ("7.png", lambda: caption_tool(lambda cx, cy: gear(cx, cy, 6.5, 5, 2.2))),
    8: ("8.bmp", lambda: nine_grid(20, 20, WHITE, FRAME)),
    51: ("51.png", lambda: nine_grid(20, 20, PAGE, CAPTION_BOTTOM)),
    52: ("52.png", caption_band),
    53: ("53.png", dialog_background),
    54: ("54.png", lambda: nine_grid(20, 20, PAGE, top_line=BORDER)),
    80: ("80.png", lambda: page_tab(shield_icon)),
    81: ("81.png", lambda: page_tab(gauge_icon)),
    82: ("82.png", lambda: page_tab(broom_icon)),
    83: ("83.png", tab_header),
    84: ("84.png", lambda: nine_grid(8, 1, LINE)),
    103: ("103.png", lambda: filled_button(166, 40, BLUE_STATES)),
    104: ("104.png", lambda: filled_button(100, 30, ORANGE_STATES)),
    105: ("105.png", lambda: outline_button(100, 30, BORDER_DARK, LIGHT_STATES)),
    106: ("106.png", lambda: outline_button(80, 26, BLUE, OUTLINE_STATES)),
    107: ("107.png", lambda: outline_button(80, 26, BLUE, OUTLINE_STATES)),
    108: ("108.png", lambda: filled_button(80, 28, BLUE_STATES)),
    110: ("110.png", lambda: outline_button(80, 28, BORDER_DARK, LIGHT_STATES)),
    200: ("200.png", lambda: state_icon(GREEN, check_mark(10, 10.3, 9, 2))),
    201: ("201.png", lambda: state_icon(RED, cross(10, 10, 7, 2))),
    202: ("202.png", warning_icon),
    203: ("203.png", lambda: filled_button(76, 28, ORANGE_STATES, label=label_mask("立即修复", 76, 28, 12))),
    204: ("204.png", lambda: outline_button(76, 28, BLUE, OUTLINE_STATES, label=label_mask("查看详情", 76, 28, 12))),
    546: ("546.png", lambda: progress_frame("E6EBF0")),
    547: ("547.png", lambda: progress_frame(BLUE, "4A97E3")),
    548: ("548.png", lambda: nine_grid(10, 60, WHITE, bottom_line="F0F3F7")),
    549: ("549.png", lambda: nine_grid(10, 30, "EEF3F8", bottom_line=BORDER)),
    550: ("550.png", scroll_bar),
    551: ("551.png", lambda: nine_grid(20, 20, WHITE, FRAME)),
    552: ("552.png", menu_item),
    553: ("553.png", lambda: nine_grid(24, 26, PAGE, right_line=LINE)),
    554: ("554.png", lambda: single(16, 16, check_mark(8, 8.5, 10, 2), BLUE)),
    555: ("555.png", lambda: nine_grid(20, 1, LINE)),
    556: ("556.png", lambda: choice(True)),
    557: ("557.png", lambda: choice(False)),
    558: ("558.png", lambda: illustration(check_motif)),
    559: ("559.png", lambda: illustration(net_motif)),
    560: ("560.gif", spinner_frames),
    561: ("561.png", lambda: illustration(clean_motif)),
    562: ("562.png", lambda: nine_grid(20, 20, WHITE, BORDER, radius=4)),
    563: ("563.png", lambda: caption_close(30, 26, 8)),
    564: ("564.png", info_icon),
    565: ("565.png", lambda: nine_grid(1, 8, LINE)),
    566: ("566.png", lambda: single(64, 64, logo_mark(4, 4, 56, 4), BLUE)),
    567: ("567.png", lambda: single(4, 16, rounded(0, 0, 4, 16, 1), BLUE)),
}


def encode(name, image):
    if isinstance(image, bytes):
        return image
    return bmp24(image) if name.endswith(".bmp") else png(image)


def main():
    root = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
    out = sys.argv[1] if len(sys.argv) > 1 else os.path.join(root, "gui", "res", "img")
    os.makedirs(out, exist_ok=True)
    for image_id in sorted(IMAGES):
        name, draw = IMAGES[image_id]
        with open(os.path.join(out, name), "wb") as f:
            f.write(encode(name, draw()))
    print("make-images: %d images in %s" % (len(IMAGES), out))


if __name__ == "__main__":
    main()
