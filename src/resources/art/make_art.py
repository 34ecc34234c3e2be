#!/usr/bin/env python3
"""Draws the program's bitmaps and icons and writes them as .bmp/.ico files.

Everything is drawn from simple shapes given as signed distance functions and
rasterised with supersampling, so the whole set can be redrawn consistently.
Pure Python 3, no imaging library.

    python3 make_art.py [output folder]      (default: this script's folder)

Bitmaps are 24-bit on the key colour RGB(0, 128, 0), which the program masks
out; the key never occurs inside a drawing and edges are never blended into it.
Icons hold 16, 32 and 48 pixel images, 32-bit with alpha and an AND mask.
"""

import math
import os
import struct
import sys

KEY = (0, 128, 0)

# Edge pixels of bitmaps are blended against this instead of the key colour,
# so the anti-aliasing suits the light faces the buttons are drawn on.
NEUTRAL = (236, 238, 242)
# Below this coverage an edge pixel becomes transparent.
KEY_THRESHOLD = 0.3


# ---------------------------------------------------------------- shapes

class Shape:
    """A region: f(x, y) < 0 inside, > 0 outside, |f| a lower bound of the
    distance to the edge. bbox is (x0, y0, x1, y1)."""

    def __init__(self, f, bbox):
        self.f = f
        self.bbox = bbox

    def __or__(self, o):
        f, g = self.f, o.f
        a, b = self.bbox, o.bbox
        return Shape(lambda x, y: min(f(x, y), g(x, y)),
                     (min(a[0], b[0]), min(a[1], b[1]),
                      max(a[2], b[2]), max(a[3], b[3])))

    def __and__(self, o):
        f, g = self.f, o.f
        a, b = self.bbox, o.bbox
        return Shape(lambda x, y: max(f(x, y), g(x, y)),
                     (max(a[0], b[0]), max(a[1], b[1]),
                      min(a[2], b[2]), min(a[3], b[3])))

    def __sub__(self, o):
        f, g = self.f, o.f
        return Shape(lambda x, y: max(f(x, y), -g(x, y)), self.bbox)

    def grow(self, r):
        f = self.f
        a = self.bbox
        return Shape(lambda x, y: f(x, y) - r,
                     (a[0] - r, a[1] - r, a[2] + r, a[3] + r))

    def move(self, dx, dy):
        f = self.f
        a = self.bbox
        return Shape(lambda x, y: f(x - dx, y - dy),
                     (a[0] + dx, a[1] + dy, a[2] + dx, a[3] + dy))

    def scale(self, s, ox=0.0, oy=0.0):
        """Scale about (ox, oy)."""
        f = self.f
        a = self.bbox
        return Shape(lambda x, y: f((x - ox) / s + ox, (y - oy) / s + oy) * s,
                     (ox + (a[0] - ox) * s, oy + (a[1] - oy) * s,
                      ox + (a[2] - ox) * s, oy + (a[3] - oy) * s))


def circle(cx, cy, r):
    return Shape(lambda x, y: math.hypot(x - cx, y - cy) - r,
                 (cx - r, cy - r, cx + r, cy + r))


def ellipse(cx, cy, rx, ry):
    m = min(rx, ry)
    return Shape(lambda x, y: (math.hypot((x - cx) / rx, (y - cy) / ry) - 1) * m,
                 (cx - rx, cy - ry, cx + rx, cy + ry))


def box(x0, y0, x1, y1, r=0.0):
    cx, cy = (x0 + x1) / 2, (y0 + y1) / 2
    hx, hy = (x1 - x0) / 2 - r, (y1 - y0) / 2 - r

    def f(x, y):
        qx = abs(x - cx) - hx
        qy = abs(y - cy) - hy
        return (math.hypot(max(qx, 0), max(qy, 0)) + min(max(qx, qy), 0) - r)
    return Shape(f, (x0, y0, x1, y1))


def poly(pts):
    pts = [(float(a), float(b)) for a, b in pts]
    n = len(pts)
    edges = []
    for i in range(n):
        ax, ay = pts[i]
        bx, by = pts[i - 1]
        ex, ey = bx - ax, by - ay
        edges.append((ax, ay, ex, ey, ex * ex + ey * ey or 1e-12))

    def f(x, y):
        d = 1e18
        inside = False
        for ax, ay, ex, ey, ee in edges:
            wx, wy = x - ax, y - ay
            t = (wx * ex + wy * ey) / ee
            t = 0.0 if t < 0 else 1.0 if t > 1 else t
            dx, dy = wx - ex * t, wy - ey * t
            dd = dx * dx + dy * dy
            if dd < d:
                d = dd
            by = ay + ey
            if (ay <= y) != (by <= y):
                if x < ax + (y - ay) * ex / ey:
                    inside = not inside
        d = math.sqrt(d)
        return -d if inside else d
    xs = [p[0] for p in pts]
    ys = [p[1] for p in pts]
    return Shape(f, (min(xs), min(ys), max(xs), max(ys)))


def capsule(ax, ay, bx, by, w):
    """A stroke of width w with round ends."""
    ex, ey = bx - ax, by - ay
    ee = ex * ex + ey * ey or 1e-12
    r = w / 2

    def f(x, y):
        wx, wy = x - ax, y - ay
        t = max(0.0, min(1.0, (wx * ex + wy * ey) / ee))
        return math.hypot(wx - ex * t, wy - ey * t) - r
    return Shape(f, (min(ax, bx) - r, min(ay, by) - r,
                     max(ax, bx) + r, max(ay, by) + r))


def bar(ax, ay, bx, by, w):
    """A stroke of width w with square ends flush with a and b."""
    ex, ey = bx - ax, by - ay
    ln = math.hypot(ex, ey)
    nx, ny = -ey / ln * w / 2, ex / ln * w / 2
    return poly([(ax + nx, ay + ny), (bx + nx, by + ny),
                 (bx - nx, by - ny), (ax - nx, ay - ny)])


def arc(cx, cy, r, w, a0, a1):
    """Ring segment of radius r and width w from angle a0 to a1 (degrees,
    clockwise on screen from the +x axis), with round ends."""
    a0r, a1r = math.radians(a0), math.radians(a1)
    span = (a1r - a0r) % (2 * math.pi)
    p0 = (cx + r * math.cos(a0r), cy + r * math.sin(a0r))
    p1 = (cx + r * math.cos(a1r), cy + r * math.sin(a1r))
    hw = w / 2

    def f(x, y):
        ang = (math.atan2(y - cy, x - cx) - a0r) % (2 * math.pi)
        if ang <= span:
            return abs(math.hypot(x - cx, y - cy) - r) - hw
        return min(math.hypot(x - p0[0], y - p0[1]),
                   math.hypot(x - p1[0], y - p1[1])) - hw
    R = r + hw
    return Shape(f, (cx - R, cy - R, cx + R, cy + R))


def arrow(direction, x0, y0, x1, y1, shaft=0.5, head=0.55):
    """A block arrow filling the box, pointing 'left', 'right', 'up' or
    'down'. shaft: shaft thickness as a fraction of the box's cross size;
    head: head length as a fraction of the box's length."""
    if direction in ('left', 'right'):
        L, C = x1 - x0, y1 - y0
    else:
        L, C = y1 - y0, x1 - x0
    hl = L * head
    st = C * shaft
    # arrow pointing +length along u, cross axis v centred at 0
    pts = [(0, -st / 2), (L - hl, -st / 2), (L - hl, -C / 2), (L, 0),
           (L - hl, C / 2), (L - hl, st / 2), (0, st / 2)]
    out = []
    for u, v in pts:
        if direction == 'right':
            out.append((x0 + u, (y0 + y1) / 2 + v))
        elif direction == 'left':
            out.append((x1 - u, (y0 + y1) / 2 + v))
        elif direction == 'down':
            out.append(((x0 + x1) / 2 + v, y0 + u))
        else:
            out.append(((x0 + x1) / 2 + v, y1 - u))
    return poly(out)


# ---------------------------------------------------------------- colours

def mix(a, b, t):
    return tuple(a[i] + (b[i] - a[i]) * t for i in range(3))


def vgrad(top, bottom, y0, y1):
    """Vertical gradient between rows y0 and y1."""
    def f(x, y):
        t = (y - y0) / ((y1 - y0) or 1)
        return mix(top, bottom, max(0.0, min(1.0, t)))
    return f


def lgrad(c0, c1, ax, ay, bx, by):
    """Linear gradient from point a (c0) to point b (c1)."""
    ex, ey = bx - ax, by - ay
    ee = ex * ex + ey * ey

    def f(x, y):
        t = ((x - ax) * ex + (y - ay) * ey) / ee
        return mix(c0, c1, max(0.0, min(1.0, t)))
    return f


# A restrained palette: each hue has a fill, a light fill and an outline.
INK = (44, 52, 68)
PAPER = (255, 255, 255)
PAPER2 = (226, 232, 240)
PAPER_LINE = (100, 110, 128)
BLUE = (58, 128, 214)
BLUE_LT = (128, 184, 240)
BLUE_DK = (24, 66, 132)
YELLOW = (250, 204, 92)
YELLOW_LT = (255, 230, 150)
YELLOW_DK = (176, 118, 20)
RED = (226, 66, 54)
RED_LT = (246, 124, 108)
RED_DK = (146, 26, 20)
GREEN = (70, 178, 86)
GREEN_LT = (130, 214, 136)
GREEN_DK = (28, 108, 44)
ORANGE = (246, 148, 42)
ORANGE_LT = (255, 196, 110)
ORANGE_DK = (166, 82, 10)
GREY = (150, 158, 170)
GREY_DK = (84, 92, 106)


# ---------------------------------------------------------------- canvas

class Canvas:
    """Premultiplied RGBA, channels 0..255 (alpha 0..1)."""

    def __init__(self, w, h, ss=8):
        self.w, self.h, self.ss = w, h, ss
        self.px = [[0.0, 0.0, 0.0, 0.0] for _ in range(w * h)]
        offs = [(i + 0.5) / ss for i in range(ss)]
        self.samples = [(a, b) for b in offs for a in offs]

    def paint(self, shape, color, alpha=1.0):
        x0, y0, x1, y1 = shape.bbox
        f = shape.f
        n = len(self.samples)
        for py in range(max(0, int(math.floor(y0))), min(self.h, int(math.ceil(y1)))):
            for px in range(max(0, int(math.floor(x0))), min(self.w, int(math.ceil(x1)))):
                d = f(px + 0.5, py + 0.5)
                if d > 0.75:
                    continue
                if d < -0.75:
                    cov = 1.0
                else:
                    k = 0
                    for sx, sy in self.samples:
                        if f(px + sx, py + sy) <= 0:
                            k += 1
                    if not k:
                        continue
                    cov = k / n
                c = color(px + 0.5, py + 0.5) if callable(color) else color
                self.blend(px, py, c, cov * alpha)

    def blend(self, px, py, c, a):
        p = self.px[py * self.w + px]
        k = 1 - a
        p[0] = c[0] * a + p[0] * k
        p[1] = c[1] * a + p[1] * k
        p[2] = c[2] * a + p[2] * k
        p[3] = a + p[3] * k

    def fill(self, color):
        for py in range(self.h):
            for px in range(self.w):
                c = color(px + 0.5, py + 0.5) if callable(color) else color
                self.blend(px, py, c, 1.0)

    def pixels(self, rows, x0, y0, color, alpha=1.0):
        """Hand-placed pixels: '#' paints, anything else leaves."""
        for j, row in enumerate(rows):
            for i, ch in enumerate(row):
                if ch == '#' and 0 <= x0 + i < self.w and 0 <= y0 + j < self.h:
                    self.blend(x0 + i, y0 + j, color, alpha)

    def rgba(self, px, py):
        r, g, b, a = self.px[py * self.w + px]
        if a <= 0:
            return (0, 0, 0, 0.0)
        return (r / a, g / a, b / a, a)


def outlined(c, shape, fill, outline, width=1.0, alpha=1.0):
    """Paint shape in its outline colour, then its inside, width pixels in,
    in the fill."""
    c.paint(shape, outline, alpha)
    c.paint(shape.grow(-width), fill, alpha)


def greyed(src):
    """The disabled look: the same drawing, colourless and lighter."""
    out = Canvas(src.w, src.h, 1)
    for i, p in enumerate(src.px):
        a = p[3]
        if a <= 0:
            continue
        r, g, b = p[0] / a, p[1] / a, p[2] / a
        lum = 0.299 * r + 0.587 * g + 0.114 * b
        v = 132 + lum * 0.44
        q = out.px[i]
        q[0], q[1], q[2], q[3] = (v - 2) * a, v * a, (v + 4) * a, a
    return out


# ---------------------------------------------------------------- files

def clamp8(v):
    return max(0, min(255, int(round(v))))


def bitmap_rgb(c, threshold=KEY_THRESHOLD):
    """Rows of (r, g, b) with the key colour where nothing is drawn."""
    rows = []
    for py in range(c.h):
        row = []
        for px in range(c.w):
            r, g, b, a = c.px[py * c.w + px]
            if a < threshold:
                row.append(KEY)
                continue
            k = 1 - a
            rgb = (clamp8(r + NEUTRAL[0] * k), clamp8(g + NEUTRAL[1] * k),
                   clamp8(b + NEUTRAL[2] * k))
            if rgb == KEY:
                rgb = (0, 129, 0)
            row.append(rgb)
        rows.append(row)
    return rows


def write_bmp(path, rows):
    h = len(rows)
    w = len(rows[0])
    stride = (w * 3 + 3) & ~3
    data = bytearray()
    for row in reversed(rows):
        line = bytearray()
        for r, g, b in row:
            line += bytes((b, g, r))
        line += b'\0' * (stride - len(line))
        data += line
    header = struct.pack('<2sIHHI', b'BM', 14 + 40 + len(data), 0, 0, 14 + 40)
    info = struct.pack('<IiiHHIIiiII', 40, w, h, 1, 24, 0, len(data),
                       2835, 2835, 0, 0)
    with open(path, 'wb') as fh:
        fh.write(header + info + data)


def icon_image(c):
    """One ICO image: BITMAPINFOHEADER, BGRA bottom-up, AND mask."""
    w, h = c.w, c.h
    xor = bytearray()
    mask = bytearray()
    mstride = ((w + 31) // 32) * 4
    for py in reversed(range(h)):
        mrow = bytearray(mstride)
        for px in range(w):
            r, g, b, a = c.rgba(px, py)
            a8 = clamp8(a * 255)
            if a8 == 0:
                r = g = b = 0
                mrow[px // 8] |= 0x80 >> (px % 8)
            xor += bytes((clamp8(b), clamp8(g), clamp8(r), a8))
        mask += mrow
    info = struct.pack('<IiiHHIIiiII', 40, w, h * 2, 1, 32, 0,
                       len(xor) + len(mask), 0, 0, 0, 0)
    return info + bytes(xor) + bytes(mask)


def write_ico(path, canvases):
    images = [icon_image(c) for c in canvases]
    out = struct.pack('<HHH', 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for c, img in zip(canvases, images):
        out += struct.pack('<BBBBHHII', c.w % 256, c.h % 256, 0, 0, 1, 32,
                           len(img), offset)
        offset += len(img)
    with open(path, 'wb') as fh:
        fh.write(out + b''.join(images))


# ---------------------------------------------------------------- parts

class Frame:
    """Places a drawing made on a design grid: design unit u pixels, origin
    (ox, oy). Box edges snap to whole pixels so outlines stay crisp."""

    def __init__(self, ox, oy, u):
        self.ox, self.oy, self.u = ox, oy, u

    def x(self, v):
        return self.ox + v * self.u

    def y(self, v):
        return self.oy + v * self.u

    def box(self, x0, y0, x1, y1, r=0.0):
        return box(round(self.x(x0)), round(self.y(y0)),
                   round(self.x(x1)), round(self.y(y1)), r * self.u)

    def circle(self, cx, cy, r):
        return circle(self.x(cx), self.y(cy), r * self.u)

    def poly(self, pts):
        return poly([(self.x(a), self.y(b)) for a, b in pts])

    def capsule(self, ax, ay, bx, by, w):
        return capsule(self.x(ax), self.y(ay), self.x(bx), self.y(by), w * self.u)

    def arrow(self, d, x0, y0, x1, y1, **kw):
        return arrow(d, self.x(x0), self.y(y0), self.x(x1), self.y(y1), **kw)


def person(c, cx, top, h, fill=BLUE, light=BLUE_LT, outline=BLUE_DK, lw=1.0):
    """Head and shoulders, h pixels tall, centred on cx, from row top."""
    head_r = h * 0.22
    head_cy = top + head_r + 0.3
    body_top = top + h * 0.5
    half = h * 0.38
    body = box(cx - half, body_top, cx + half, body_top + h, h * 0.3)
    body = body & box(cx - half - 1, top, cx + half + 1, top + h)
    outlined(c, body, vgrad(light, fill, body_top, top + h), outline, lw)
    outlined(c, circle(cx, head_cy, head_r),
             vgrad(light, fill, head_cy - head_r, head_cy + head_r), outline, lw)


def badge(c, kind):
    """The small round sign at a button image's lower right: 'plus',
    'minus' or 'down'."""
    cx = cy = 11.5
    r = 4.5
    if kind == 'minus':
        fill, light, dark = RED, RED_LT, RED_DK
    else:
        fill, light, dark = GREEN, GREEN_LT, GREEN_DK
    # a light ring keeps the sign apart from what lies under it
    c.paint(circle(cx, cy, r + 1), NEUTRAL)
    outlined(c, circle(cx, cy, r), vgrad(light, fill, cy - r, cy + r), dark)
    # crisp one-pixel signs read better than smooth ones at this size
    signs = {
        'plus': ['..#..', '..#..', '#####', '..#..', '..#..'],
        'minus': ['.....', '.....', '#####', '.....', '.....'],
        'down': ['..#..', '..#..', '#.#.#', '.###.', '..#..'],
    }
    c.pixels(signs[kind], 9, 9, PAPER)


def folder_back(c, x0, y0, x1, y1):
    tab = box(x0, y0, x0 + (x1 - x0) * 0.45, y0 + 3, 1)
    back = box(x0, y0 + 2, x1, y1, 1)
    outlined(c, tab | back, vgrad(YELLOW, (232, 170, 60), y0, y1), YELLOW_DK)


def folder_closed(c, x0, y0, x1, y1):
    folder_back(c, x0, y0, x1, y1)
    front = box(x0, y0 + 4, x1, y1, 1)
    outlined(c, front, vgrad(YELLOW_LT, YELLOW, y0 + 4, y1), YELLOW_DK)


def folder_open(c, x0, y0, x1, y1):
    folder_back(c, x0, y0, x1 - 1, y1)
    sheet = box(x0 + 2, y0 + 3, x1 - 3, y1 - 2)
    outlined(c, sheet, PAPER, PAPER_LINE)
    top = y0 + 5
    front = poly([(x0 + 2, top), (x1, top), (x1 - 2, y1), (x0, y1)])
    outlined(c, front, vgrad(YELLOW_LT, YELLOW, top, y1), YELLOW_DK)


def pencil(c, tx, ty, length, width):
    """A pencil with its point at (tx, ty), lying up and to the right."""
    dx, dy = 1 / math.sqrt(2), -1 / math.sqrt(2)
    nx, ny = -dy, dx

    def P(u, v):
        return (tx + u * dx + v * nx, ty + u * dy + v * ny)
    hw = width / 2
    tip_l = width * 0.95
    cone = poly([P(0, 0), P(tip_l, -hw), P(tip_l, hw)])
    body_end = length - width * 0.9
    body = poly([P(tip_l, -hw), P(body_end, -hw), P(body_end, hw), P(tip_l, hw)])
    ferrule = poly([P(body_end, -hw), P(body_end + 1.3, -hw),
                    P(body_end + 1.3, hw), P(body_end, hw)])
    ex, ey = P(length - hw, 0)
    eraser = (circle(ex, ey, hw) |
              poly([P(body_end + 1.3, -hw), P(length - hw, -hw),
                    P(length - hw, hw), P(body_end + 1.3, hw)]))
    whole = cone | body | ferrule | eraser
    c.paint(whole, (70, 56, 40))
    inner = whole.grow(-1)
    c.paint(cone & inner, (236, 200, 150))
    c.paint(body & inner, lgrad(YELLOW_LT, ORANGE, *P(tip_l, -hw), *P(tip_l, hw)))
    c.paint(ferrule & inner, (196, 204, 214))
    c.paint(eraser & inner, (240, 128, 128))
    lead = poly([P(-0.2, 0), P(tip_l * 0.42, -hw * 0.42), P(tip_l * 0.42, hw * 0.42)])
    c.paint(lead, (52, 52, 60))


def sheet(c, x0, y0, x1, y1, fold=5, lines=True):
    """A page with a folded corner and rows of text."""
    body = poly([(x0, y0), (x1 - fold, y0), (x1, y0 + fold), (x1, y1), (x0, y1)])
    outlined(c, body, vgrad(PAPER, PAPER2, y0, y1), PAPER_LINE)
    corner = poly([(x1 - fold, y0), (x1 - fold, y0 + fold), (x1, y0 + fold)])
    outlined(c, corner, PAPER2, PAPER_LINE)
    if lines:
        y = y0 + fold + 3
        while y + 1 <= y1 - 3:
            mid = x0 + (x1 - x0) * 0.45
            c.paint(box(x0 + 3, y, mid - 1, y + 1), GREY)
            c.paint(box(mid + 1, y, x1 - 3, y + 1), GREY)
            y += 3


# ---------------------------------------------------------------- the phone book

def draw_book(c, f, lw=1.0, old=False, detail=True):
    """An address book with ring binding and index tabs on a 48 grid."""
    if old:
        fill, light, dark = (184, 150, 108), (214, 186, 146), (112, 80, 44)
    else:
        fill, light, dark = BLUE, BLUE_LT, BLUE_DK
    pages = f.box(12, 6, 42, 45, 2)
    outlined(c, pages, PAPER, PAPER_LINE, lw)
    if not detail and not old:
        for i, (tc, td) in enumerate([(ORANGE, ORANGE_DK), (GREEN, GREEN_DK)]):
            ty = 12 + i * 15
            outlined(c, f.box(36, ty, 45, ty + 9), tc, td, lw)
    if detail and not old:
        tab_colours = [(ORANGE, ORANGE_DK), (YELLOW, YELLOW_DK),
                       (GREEN, GREEN_DK), (RED, RED_DK)]
        for i, (tc, td) in enumerate(tab_colours):
            ty = 9 + i * 8
            outlined(c, f.box(37, ty, 45, ty + 6, 1.5), tc, td, lw)
    cover = f.box(6, 3, 39, 45, 3)
    outlined(c, cover, lgrad(light, fill, f.x(6), f.y(3), f.x(39), f.y(45)), dark, lw)
    spine = f.box(6, 3, 14, 45, 3) & cover.grow(-lw)
    c.paint(spine, dark, 0.35)
    # ring binding
    if detail:
        for i in range(5):
            ry = 8 + i * 8
            outlined(c, f.box(3, ry, 12, ry + 3.01, 1.5), (220, 226, 234), GREY_DK, lw)
    else:
        for ry in (10, 22, 34):
            outlined(c, f.box(3, ry, 12, ry + 4, 1.5), (220, 226, 234), GREY_DK, lw)
    # label with a person on it
    if old:
        label = f.box(17, 12, 33, 25, 1.5)
        outlined(c, label, (236, 226, 204), dark, lw)
        if detail:
            for ly in (16, 20):
                c.paint(f.box(20, ly, 30, ly + 1.5), (160, 140, 110))
    else:
        label = f.box(16, 10, 35, 30, 2.5)
        outlined(c, label, vgrad(PAPER, PAPER2, f.y(10), f.y(30)), dark, lw)
        if detail:
            person(c, f.x(25.5), f.y(13), 15 * f.u, lw=lw)
        else:
            c.paint(f.circle(25.5, 17, 3.6), BLUE)
            c.paint(f.box(19.5, 22.5, 31.5, 28, 3), BLUE)


def draw_fax(c, f, lw=1.0, detail=True):
    """A fax machine with handset and a page coming out, on a 48 grid."""
    page = f.box(15, 1, 39, 24)
    outlined(c, page, PAPER, PAPER_LINE, lw)
    if detail:
        for i, ly in enumerate((5, 9, 13, 17)):
            c.paint(f.box(19, ly, 35 - (6 if i == 3 else 0), ly + 1.5), GREY)
    else:
        for ly in (6, 12):
            c.paint(f.box(21, ly, 33, ly + 3), GREY)
    body = f.box(3, 18, 45, 46, 4)
    outlined(c, body, vgrad((246, 248, 251), (196, 204, 216), f.y(18), f.y(46)), GREY_DK, lw)
    slot = f.box(15, 21, 42, 24, 1)
    c.paint(slot, (64, 72, 88))
    # handset resting along the left side
    hs = f.box(5, 14, 15, 45, 4.5)
    outlined(c, hs, lgrad((92, 104, 124), (52, 60, 76), f.x(5), 0, f.x(15), 0), (30, 34, 44), lw)
    if detail:
        c.paint(f.box(7, 18, 13, 21, 1), (120, 132, 150))
        c.paint(f.box(7, 38, 13, 41, 1), (120, 132, 150))
    # display and keys
    disp = f.box(18, 27, 30, 34, 1)
    outlined(c, disp, vgrad(BLUE_LT, BLUE, f.y(27), f.y(34)), BLUE_DK, lw)
    if detail:
        for row in range(3):
            for col in range(3):
                kx, ky = 32 + col * 4, 27 + row * 5
                c.paint(f.box(kx, ky, kx + 3, ky + 3, 0.8), (84, 94, 112))
        c.paint(f.box(18, 37, 30, 41, 1), (84, 94, 112))
    else:
        c.paint(f.box(33, 27, 42, 33), (84, 94, 112))
        c.paint(f.box(18, 37, 42, 40), (150, 158, 172))


# ---------------------------------------------------------------- button images (16 x 16)

def img_help():
    c = Canvas(16, 16)
    outlined(c, circle(8, 8, 7.5), lgrad(BLUE_LT, BLUE, 4, 1, 11, 15), BLUE_DK)
    c.pixels([
        '.####.',
        '##..##',
        '##..##',
        '....##',
        '...##.',
        '..##..',
        '..##..',
        '......',
        '..##..',
        '..##..',
    ], 5, 3, PAPER)
    return c


def img_new_entry():
    c = Canvas(16, 16)
    card = box(0, 2, 15, 13, 1.5)
    outlined(c, card, vgrad(PAPER, PAPER2, 2, 13), PAPER_LINE)
    c.paint(box(1, 3, 14, 5), BLUE_LT)
    person(c, 4.5, 5, 7, lw=1.0)
    for ly in (7, 9):
        c.paint(box(8, ly, 13, ly + 1), GREY)
    badge(c, 'plus')
    return c


def img_new_group():
    c = Canvas(16, 16)
    person(c, 10.5, 1, 12, fill=(96, 150, 214), light=(168, 204, 240))
    person(c, 5.5, 3, 13)
    badge(c, 'plus')
    return c


def img_edit():
    c = Canvas(16, 16)
    pencil(c, 1.2, 14.8, 18.2, 5.2)
    return c


def img_delete():
    c = Canvas(16, 16)
    x = capsule(3.5, 3.5, 12.5, 12.5, 4.4) | capsule(12.5, 3.5, 3.5, 12.5, 4.4)
    outlined(c, x, vgrad(RED_LT, RED, 1, 15), RED_DK)
    return c


def img_file_menu():
    c = Canvas(16, 16)
    folder_closed(c, 0, 2, 13, 13)
    tri = poly([(9.5, 11), (16, 11), (12.75, 14.5)])
    c.paint(tri.grow(1.0), NEUTRAL)
    c.paint(tri, INK)
    return c


def img_copy_personal():
    c = Canvas(16, 16)
    book = box(5, 1, 15, 15, 1.5)
    c.paint(box(6, 2, 16, 16, 1.5), PAPER_LINE)
    c.paint(box(7, 3, 15, 15, 1), PAPER)
    outlined(c, book, lgrad(BLUE_LT, BLUE, 5, 1, 15, 15), BLUE_DK)
    c.paint(box(6, 2, 8, 14), BLUE_DK, 0.35)
    c.paint(circle(11, 5.5, 1.8), PAPER)
    c.paint(box(8.5, 8, 13.5, 12, 2) & box(8, 7, 14, 11), PAPER)
    a = arrow('right', 0, 6, 9, 15, shaft=0.42, head=0.5)
    c.paint(a.grow(1.0), NEUTRAL)
    outlined(c, a, vgrad(GREEN_LT, GREEN, 6, 15), GREEN_DK)
    return c


def img_arrow(direction, w=16, h=16):
    c = Canvas(w, h)
    if direction in ('left', 'right'):
        a = arrow(direction, 1, 0.5, w - 1, h - 0.5, shaft=0.46, head=0.52)
    else:
        a = arrow(direction, 1, 1, w - 1, h - 1, shaft=0.44, head=0.5)
    outlined(c, a, vgrad(BLUE_LT, BLUE, 0, h), BLUE_DK)
    return c


def img_browse():
    c = Canvas(16, 16)
    folder_open(c, 0, 1, 16, 12)
    for dx in (3.5, 8, 12.5):
        c.paint(circle(dx, 14.5, 1.35), INK)
    return c


def img_member(kind):
    c = Canvas(16, 16)
    person(c, 6, 1, 13.5)
    badge(c, kind)
    return c


def img_checkboxes():
    """Three 13 x 13 classic check boxes side by side: unchecked, checked,
    greyed. Copied without a transparent colour."""
    c = Canvas(39, 13, 1)
    mark = ['.......#',
            '......##',
            '#....###',
            '##..###.',
            '######..',
            '.####...',
            '..##....']
    for i in range(3):
        x = i * 13
        c.paint(box(x, 0, x + 13, 13), (128, 128, 128))
        c.paint(box(x + 1, 1, x + 13, 13), (255, 255, 255))
        c.paint(box(x + 1, 1, x + 12, 12), (64, 64, 64))
        c.paint(box(x + 2, 2, x + 12, 12), (212, 208, 200))
        face = (212, 208, 200) if i == 2 else (255, 255, 255)
        c.paint(box(x + 2, 2, x + 11, 11), face)
        if i:
            c.pixels(mark, x + 2, 3, (0, 0, 0) if i == 1 else (128, 128, 128))
    return c


# ---------------------------------------------------------------- pictures

def img_transfer(direction):
    """A text file, an arrow and the phone book: 'import', 'export' or
    'both'."""
    c = Canvas(64, 32)
    sheet(c, 2, 2, 24, 30, fold=6)
    draw_book(c, Frame(34, 1, 30 / 48))
    if direction == 'both':
        a = (arrow('right', 27, 6, 38, 15, shaft=0.4, head=0.55) |
             arrow('left', 25, 16, 36, 25, shaft=0.4, head=0.55))
    else:
        a = arrow('right' if direction == 'import' else 'left', 25, 9, 38, 23,
                  shaft=0.42, head=0.5)
    c.paint(a.grow(1), NEUTRAL)
    outlined(c, a, vgrad(ORANGE_LT, ORANGE, 6, 26), ORANGE_DK)
    return c


def img_convert():
    """The older book turned into the current one."""
    c = Canvas(64, 32)
    draw_book(c, Frame(0, 1, 30 / 48), old=True)
    draw_book(c, Frame(34, 1, 30 / 48))
    a = arrow('right', 22, 9, 36, 23, shaft=0.42, head=0.5)
    c.paint(a.grow(1), NEUTRAL)
    outlined(c, a, vgrad(ORANGE_LT, ORANGE, 9, 23), ORANGE_DK)
    return c


# ---------------------------------------------------------------- icons

def img_icon(kind, size):
    c = Canvas(size, size)
    f = Frame(0, 0, size / 48)
    detail = size >= 32
    if kind == 'app':
        draw_fax(c, f, detail=detail)
    else:
        draw_book(c, f, detail=detail)
    return c


def img_about():
    """Background of the about box. Its texts are drawn in white over the
    lower part, so that part stays dark and quiet."""
    w, h = 480, 320
    c = Canvas(w, h, 4)
    c.fill(lgrad((30, 92, 170), (10, 30, 70), w, 0, 0, h))
    # soft light shapes for depth
    c.paint(circle(430, -40, 230), (120, 180, 240), 0.10)
    c.paint(circle(470, 10, 140), (150, 200, 250), 0.10)
    c.paint(poly([(0, 118), (w, 62), (w, 76), (0, 128)]), PAPER, 0.06)
    c.paint(box(22, 122, 300, 124), (150, 200, 250), 0.45)
    # pages flying off the machine
    for i, (px, py, s, a) in enumerate([(128, 40, 0.55, 0.30), (172, 22, 0.7, 0.5),
                                        (218, 8, 0.85, 0.75)]):
        f = Frame(px, py, s)
        pg = f.poly([(0, 6), (30, 0), (36, 40), (6, 46)])
        c.paint(pg, PAPER, a)
        for k in range(4):
            c.paint(f.poly([(7 + 0.8 * k, 13 + 7 * k), (27, 9 + 7 * k),
                            (27.4, 11.5 + 7 * k), (7.4 + 0.8 * k, 15.5 + 7 * k)]), BLUE, a * 0.6)
    draw_book(c, Frame(256, 22, 2.0), lw=2.0)
    draw_fax(c, Frame(348, 6, 2.35), lw=2.0)
    return c


# ---------------------------------------------------------------- the set

# (resource id, name, file, drawing); the disabled twin of a button image
# follows it, made by greying it.
BITMAPS = []


def _add(ident, name, filename, make):
    BITMAPS.append((ident, name, filename, make))


def _button(ident, name, filename, make, disabled_id=None):
    cache = {}

    def normal():
        if 'c' not in cache:
            cache['c'] = make()
        return cache['c']
    _add(ident, name, filename, normal)
    if disabled_id is not None:
        _add(disabled_id, name + '_DISABLED', filename.replace('.bmp', '_off.bmp'),
             lambda: greyed(normal()))


_button(248, 'HELP', 'help.bmp', img_help)
_button(256, 'NEW_ENTRY', 'new_entry.bmp', img_new_entry, 257)
_button(258, 'NEW_GROUP', 'new_group.bmp', img_new_group, 259)
_button(260, 'EDIT', 'edit.bmp', img_edit, 261)
_button(262, 'DELETE', 'delete.bmp', img_delete, 263)
_button(264, 'FILE_MENU', 'file_menu.bmp', img_file_menu, 265)
_button(266, 'COPY_PERSONAL', 'copy_personal.bmp', img_copy_personal, 267)
_button(188, 'PREVIOUS', 'previous.bmp', lambda: img_arrow('left', 16, 12))
_button(189, 'NEXT', 'next.bmp', lambda: img_arrow('right', 16, 12))
_button(224, 'BROWSE', 'browse.bmp', img_browse, 226)
_button(180, 'UP', 'up.bmp', lambda: img_arrow('up'), 182)
_button(174, 'DOWN', 'down.bmp', lambda: img_arrow('down'), 183)
_button(273, 'ADD_MEMBER', 'add_member.bmp', lambda: img_member('plus'), 270)
_button(272, 'PICK_MEMBER', 'pick_member.bmp', lambda: img_member('down'), 269)
_button(271, 'REMOVE_MEMBER', 'remove_member.bmp', lambda: img_member('minus'), 268)
_add(229, 'CHECKBOXES', 'checkboxes.bmp', img_checkboxes)
_add(208, 'IMPORT_EXPORT', 'import_export.bmp', lambda: img_transfer('both'))
_add(250, 'IMPORT', 'import.bmp', lambda: img_transfer('import'))
_add(252, 'EXPORT', 'export.bmp', lambda: img_transfer('export'))
_add(247, 'CONVERT', 'convert.bmp', img_convert)
_add(255, 'ABOUT', 'about.bmp', img_about)

ICONS = [
    (211, 'APP', 'app.ico', 'app'),
    (212, 'PHONEBOOK', 'phonebook.ico', 'book'),
]
ICON_SIZES = (16, 32, 48)


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    out = sys.argv[1] if len(sys.argv) > 1 else here
    os.makedirs(out, exist_ok=True)
    for ident, name, filename, make in BITMAPS:
        c = make()
        # the check box strip and the about picture are copied opaque
        opaque = ident in (229, 255)
        write_bmp(os.path.join(out, filename), bitmap_rgb(c, -1 if opaque else KEY_THRESHOLD))
    for ident, name, filename, kind in ICONS:
        write_ico(os.path.join(out, filename), [img_icon(kind, s) for s in ICON_SIZES])


if __name__ == '__main__':
    main()
