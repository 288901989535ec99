#!/usr/bin/env python3
"""Draws the interface widgets' art into resources/images/widgets/.

Only the standard library is used (zlib + struct write the PNG files), so the art can be
regenerated on any machine:  python3 scripts/make_widget_art.py

  app.png     256 x 256  application icon: an iris aperture on a rounded square
  off_96.png   96 x 32   face of the alert panel's second button
  off_x.png    28 x 28   favourite close box, normal (shown scaled to 14 x 14)
  on_x.png     28 x 28   favourite close box, pressed
"""
import math
import os
import struct
import zlib

OUT = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "resources", "images", "widgets")
SS = 4  # supersamples per axis: edges are anti-aliased by averaging SS x SS samples


def write_png(path, width, height, pixels):
    """pixels: list of rows, each a list of (r, g, b, a) floats in 0..1 (straight alpha)."""
    raw = bytearray()
    for row in pixels:
        raw.append(0)  # filter type "none"
        for r, g, b, a in row:
            raw += bytes(max(0, min(255, int(round(c * 255)))) for c in (r, g, b, a))

    def chunk(tag, data):
        body = tag + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF)

    png = b"\x89PNG\r\n\x1a\n"
    png += chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 6, 0, 0, 0))
    png += chunk(b"IDAT", zlib.compress(bytes(raw), 9))
    png += chunk(b"IEND", b"")
    with open(path, "wb") as f:
        f.write(png)


def render(width, height, shade):
    """Averages shade(x, y) -> (r, g, b, a) over SS x SS samples per pixel.
    Colours are averaged premultiplied so that edges do not darken, then un-premultiplied."""
    rows = []
    inv = 1.0 / (SS * SS)
    for py in range(height):
        row = []
        for px in range(width):
            r = g = b = a = 0.0
            for sy in range(SS):
                for sx in range(SS):
                    cr, cg, cb, ca = shade(px + (sx + 0.5) / SS, py + (sy + 0.5) / SS)
                    r += cr * ca
                    g += cg * ca
                    b += cb * ca
                    a += ca
            if a > 0:
                row.append((r / a, g / a, b / a, a * inv))
            else:
                row.append((0.0, 0.0, 0.0, 0.0))
        rows.append(row)
    return rows


def mix(c1, c2, t):
    t = max(0.0, min(1.0, t))
    return tuple(a + (b - a) * t for a, b in zip(c1, c2))


def hexc(h):
    return tuple(int(h[i:i + 2], 16) / 255.0 for i in (0, 2, 4))


def in_rounded_rect(x, y, x0, y0, x1, y1, radius):
    cx = min(max(x, x0 + radius), x1 - radius)
    cy = min(max(y, y0 + radius), y1 - radius)
    return (x - cx) ** 2 + (y - cy) ** 2 <= radius * radius


# --- application icon -------------------------------------------------------------------------

def app_icon():
    size = 256
    c = size / 2.0
    ring_outer, ring_inner = 92.0, 80.0
    hole = 34.0          # circumradius of the hexagonal opening
    blades = 6
    twist = math.radians(8)
    # Hexagon vertices, counter-clockwise in y-down coordinates as seen on screen.
    verts = [(c + hole * math.cos(twist + k * 2 * math.pi / blades),
              c + hole * math.sin(twist + k * 2 * math.pi / blades)) for k in range(blades)]
    edges = [(verts[k], (verts[(k + 1) % blades][0] - verts[k][0], verts[(k + 1) % blades][1] - verts[k][1]))
             for k in range(blades)]
    bg_top, bg_mid, bg_bot = hexc("3a1c71"), hexc("d76d77"), hexc("ffaf7b")
    blade_cols = [hexc(h) for h in ("2b2d42", "33364f", "3d405b", "464a68", "3d405b", "33364f")]
    spectrum = [hexc(h) for h in ("ff5f6d", "ffc371", "9be15d", "00c9ff", "845ef7", "ff5f6d")]

    def side(k, x, y):
        (vx, vy), (dx, dy) = edges[k]
        return dy * (x - vx) - dx * (y - vy)  # > 0: outside edge k (the hexagon's interior is < 0)

    def shade(x, y):
        if not in_rounded_rect(x, y, 8, 8, size - 8, size - 8, 52):
            # soft drop shadow under the tile
            if in_rounded_rect(x, y - 5, 10, 10, size - 10, size - 6, 52):
                return (0, 0, 0, 0.28)
            return (0, 0, 0, 0)
        t = (x * 0.35 + y) / (size * 1.35)
        col = mix(bg_top, bg_mid, t * 2) if t < 0.5 else mix(bg_mid, bg_bot, (t - 0.5) * 2)
        # gloss on the upper half of the tile
        if y < c:
            col = mix(col, (1, 1, 1), 0.10 * (1 - y / c))
        dx, dy = x - c, y - c
        rho = math.hypot(dx, dy)
        if rho > ring_outer:
            if rho < ring_outer + 6:  # faint halo around the lens
                col = mix(col, (1, 1, 1), 0.18 * (1 - (rho - ring_outer) / 6))
            return col + (1.0,)
        if rho > ring_inner:
            # metal barrel with a rainbow rim: hue runs around the ring
            ang = (math.atan2(dy, dx) + math.pi) / (2 * math.pi) * (len(spectrum) - 1)
            i = int(ang)
            rim = mix(spectrum[i], spectrum[min(i + 1, len(spectrum) - 1)], ang - i)
            light = 0.5 + 0.5 * (-dy / rho)
            base = mix(hexc("1b1b2f"), hexc("5c5f7a"), light)
            return mix(base, rim, 0.55) + (1.0,)
        outside = [side(k, x, y) > 0 for k in range(blades)]
        if not any(outside):
            # the opening: a bright prism-coloured glass with a highlight
            g = mix(hexc("7ee8fa"), hexc("eec0c6"), (dx + dy) / (2 * hole) + 0.5)
            hl = math.hypot(dx + hole * 0.35, dy + hole * 0.35)
            return mix(g, (1, 1, 1), max(0.0, 0.8 - hl / (hole * 0.6))) + (1.0,)
        # Blade k lies outside edge k and inside the line of the previous edge, whose extension
        # is the seam between the two blades.
        k = next((k for k in range(blades) if outside[k] and not outside[k - 1]), 0)
        col = blade_cols[k]
        # darken towards the seam so that every blade reads as an overlapping leaf
        (vx, vy), (ex, ey) = edges[k - 1]
        seam = abs(side(k - 1, x, y)) / math.hypot(ex, ey)
        col = mix(hexc("101018"), col, min(1.0, seam / 10.0 + 0.35))
        return col + (1.0,)

    return size, size, render(size, size, shade)


# --- alert button face ------------------------------------------------------------------------

def off_96():
    w, h = 96, 32

    def shade(x, y):
        if not in_rounded_rect(x, y, 1, 3, w - 1, h - 3, 7):
            return (0, 0, 0, 0)
        edge = not in_rounded_rect(x, y, 2, 4, w - 2, h - 4, 6)
        col = mix(hexc("5a5a5a"), hexc("3c3c3c"), (y - 3) / (h - 6))
        if edge:
            col = hexc("262626")
        return col + (1.0,)

    return w, h, render(w, h, shade)


# --- close box --------------------------------------------------------------------------------

def close_box(pressed):
    s = 28
    c = s / 2.0

    def shade(x, y):
        dx, dy = x - c, y - c
        rho = math.hypot(dx, dy)
        if rho > 13:
            return (0, 0, 0, 0)
        ring = rho > 11.5
        body = hexc("e0453a") if pressed else hexc("5b5b60")
        if ring:
            return (hexc("7a1a14") if pressed else hexc("2a2a2e")) + (1.0,)
        # the cross: two bars 3 px wide along the diagonals, 14 px long
        u, v = (dx + dy) / math.sqrt(2), (dx - dy) / math.sqrt(2)
        if (abs(u) < 1.6 and abs(v) < 6.5) or (abs(v) < 1.6 and abs(u) < 6.5):
            return (1.0, 1.0, 1.0, 1.0) if pressed else hexc("e6e6e6") + (1.0,)
        return body + (1.0,)

    return s, s, render(s, s, shade)


def main():
    os.makedirs(OUT, exist_ok=True)
    for name, make in (("app", app_icon), ("off_96", off_96),
                       ("off_x", lambda: close_box(False)), ("on_x", lambda: close_box(True))):
        w, h, px = make()
        write_png(os.path.join(OUT, name + ".png"), w, h, px)
        print("wrote", os.path.normpath(os.path.join(OUT, name + ".png")))


if __name__ == "__main__":
    main()
