#!/usr/bin/env python3
"""Draws the interface widgets' art into resources/images/widgets/.

Only the standard library is used (zlib + struct write the PNG files), so the art can be
regenerated on any machine:  python3 scripts/make_widget_art.py

  app.png     256 x 256  application icon: an iris aperture on a rounded square (also written to
                         resources/icons/hicolor/NxN/apps/lumetta.png in the desktop's usual sizes)
  off_96.png   96 x 32   face of the alert panel's second button
  off_x.png    28 x 28   favourite close box, normal (shown scaled to 14 x 14)
  on_x.png     28 x 28   favourite close box, pressed

The scroll bars of the control and favourites areas are drawn from three-part images: two end
caps at their natural size and a middle piece stretched between them. The vertical parts are
drawn here; the horizontal ones are the same pictures transposed, so the decrement end (top)
becomes the left end. All are 15 px thick (the scroll bar's width is that of scrl_mid.png).

  srcl_top, scrl_mid, scrl_bot                         15 x 8   vertical slot (top, middle, bottom)
  knob_top, knob_mid, knob_bot                         11 x 6   vertical knob
  btn_up, btn_down, btn_up_on, btn_down_on             15 x 15  vertical arrows, normal and pressed
  down_round_side, middle_round_side, up_round_side     8 x 15  horizontal slot (left, middle, right)
  down_slider_part, middle_slider_part, up_slider_part  6 x 11  horizontal knob
  off_pointer_down, off_pointer_up,
  on_pointer_down, on_pointer_up                       15 x 15  horizontal arrows (left, right)
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


def render(width, height, shade, ss=SS):
    """Averages shade(x, y) -> (r, g, b, a) over ss x ss samples per pixel.
    Colours are averaged premultiplied so that edges do not darken, then un-premultiplied."""
    rows = []
    inv = 1.0 / (ss * ss)
    for py in range(height):
        row = []
        for px in range(width):
            r = g = b = a = 0.0
            for sy in range(ss):
                for sx in range(ss):
                    cr, cg, cb, ca = shade(px + (sx + 0.5) / ss, py + (sy + 0.5) / ss)
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

def app_icon(pixels=256):
    """The icon is designed on a 256-unit grid and sampled at any size: smaller sizes take more
    samples per pixel so that the blades and the ring stay smooth rather than aliased."""
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

    scale = size / pixels
    return pixels, pixels, render(pixels, pixels, lambda x, y: shade(x * scale, y * scale),
                                  ss=max(SS, int(SS * scale)))


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


# --- scroll bars ------------------------------------------------------------------------------

THICK = 15          # scroll bar thickness
SLOT_CAP = 8        # length of the slot's end pieces (and of the stretched middle piece)
KNOB_THICK = 11     # knob thickness: inset by 2 px on each side of the slot
KNOB_CAP = 6        # length of the knob's end pieces (and middle piece)


def capsule_distance(x, y, width, length, radius):
    """Signed distance to a vertical capsule [0, width] x [0, length] with round ends (< 0 inside)."""
    cx = width / 2.0
    cy = min(max(y, radius), length - radius)
    return math.hypot(x - cx, y - cy) - radius


def slot_shade(length):
    """The recessed track: darker than the grey 0.3 background, with a shadow along its upper and
    left inner edge, so it reads as cut into the bar."""
    radius = THICK / 2.0 - 1.0

    def shade(x, y):
        d = capsule_distance(x, y, THICK, length, radius) - 0.0
        if d > 0.5:
            return (0, 0, 0, 0)
        alpha = max(0.0, min(1.0, 0.5 - d))
        col = hexc("2b2b2e")
        if d > -1.2:
            col = hexc("1c1c1e")  # rim
        else:
            # inner shadow: darker near the left edge, a faint light at the right edge
            t = x / THICK
            col = mix(hexc("242427"), hexc("38383c"), t)
        return col + (alpha,)

    return shade


def knob_shade(length):
    """The knob: a violet pill (the accent of the mode buttons) lit from the left, with a darker
    outline and a soft highlight stripe."""
    radius = KNOB_THICK / 2.0

    def shade(x, y):
        d = capsule_distance(x, y, KNOB_THICK, length, radius)
        if d > 0.5:
            return (0, 0, 0, 0)
        alpha = max(0.0, min(1.0, 0.5 - d))
        if d > -1.0:
            return hexc("4d4387") + (alpha,)
        t = x / KNOB_THICK
        col = mix(hexc("c4bcf7"), hexc("7d71cf"), t)
        stripe = abs(x - KNOB_THICK * 0.33)
        if stripe < 1.2:
            col = mix(col, (1, 1, 1), 0.35 * (1 - stripe / 1.2))
        return col + (alpha,)

    return shade


def slice_rows(pixels, start, count):
    return [row[:] for row in pixels[start:start + count]]


def three_parts(shade_for, width, cap):
    """Renders a capsule of length 3 * cap + some and cuts it into top cap, middle and bottom cap.
    The middle piece comes from the capsule's straight part, so stretching it shows no seams."""
    length = cap * 5
    full = render(width, length, shade_for(length))
    return slice_rows(full, 0, cap), slice_rows(full, 2 * cap, cap), slice_rows(full, length - cap, cap)


def arrow_button(pointing_up, pressed):
    """A rounded button with a triangle, pointing up (the decrement arrow) or down."""
    s = THICK
    face_top, face_bot = (hexc("a99ff0"), hexc("7b6fd0")) if pressed else (hexc("626266"), hexc("47474b"))
    glyph = (1.0, 1.0, 1.0) if pressed else hexc("d8d8dc")
    # Triangle vertices (pointing up), then mirrored for down.
    tri = [(s / 2.0, 4.5), (s - 4.0, 10.0), (4.0, 10.0)]
    if not pointing_up:
        tri = [(x, s - y) for x, y in tri]

    def inside_triangle(x, y):
        def edge(a, b):
            return (b[0] - a[0]) * (y - a[1]) - (b[1] - a[1]) * (x - a[0])
        e = [edge(tri[i], tri[(i + 1) % 3]) for i in range(3)]
        return all(v >= 0 for v in e) or all(v <= 0 for v in e)

    def shade(x, y):
        if not in_rounded_rect(x, y, 1, 1, s - 1, s - 1, 3.5):
            return (0, 0, 0, 0)
        if not in_rounded_rect(x, y, 2, 2, s - 2, s - 2, 2.5):
            return (hexc("4d4387") if pressed else hexc("2a2a2d")) + (1.0,)
        if inside_triangle(x, y):
            return glyph + (1.0,)
        return mix(face_top, face_bot, (y - 2) / (s - 4)) + (1.0,)

    return render(s, s, shade)


def transpose(pixels):
    return [list(col) for col in zip(*pixels)]


def scroller_art():
    """Every scroll bar picture by name, as (width, height, pixels)."""
    art = {}
    top, mid, bot = three_parts(slot_shade, THICK, SLOT_CAP)
    art.update({"srcl_top": top, "scrl_mid": mid, "scrl_bot": bot,
                "down_round_side": transpose(top), "middle_round_side": transpose(mid),
                "up_round_side": transpose(bot)})
    top, mid, bot = three_parts(knob_shade, KNOB_THICK, KNOB_CAP)
    art.update({"knob_top": top, "knob_mid": mid, "knob_bot": bot,
                "down_slider_part": transpose(top), "middle_slider_part": transpose(mid),
                "up_slider_part": transpose(bot)})
    for pressed in (False, True):
        up, down = arrow_button(True, pressed), arrow_button(False, pressed)
        suffix = "_on" if pressed else ""
        art["btn_up" + suffix] = up
        art["btn_down" + suffix] = down
        state = "on" if pressed else "off"
        art[state + "_pointer_down"] = transpose(up)
        art[state + "_pointer_up"] = transpose(down)
    return {name: (len(px[0]), len(px), px) for name, px in art.items()}


# The application icon installed into the desktop's hicolor theme, in its usual sizes.
ICON_SIZES = (16, 22, 24, 32, 48, 64, 128, 256, 512)
ICONS = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "resources", "icons", "hicolor")


def main():
    for n in ICON_SIZES:
        folder = os.path.join(ICONS, "%dx%d" % (n, n), "apps")
        os.makedirs(folder, exist_ok=True)
        w, h, px = app_icon(n)
        write_png(os.path.join(folder, "lumetta.png"), w, h, px)
        print("wrote", os.path.normpath(os.path.join(folder, "lumetta.png")))
    os.makedirs(OUT, exist_ok=True)
    made = [(name, make()) for name, make in (("app", app_icon), ("off_96", off_96),
                                              ("off_x", lambda: close_box(False)),
                                              ("on_x", lambda: close_box(True)))]
    made += sorted(scroller_art().items())
    for name, (w, h, px) in made:
        write_png(os.path.join(OUT, name + ".png"), w, h, px)
        print("wrote", os.path.normpath(os.path.join(OUT, name + ".png")))


if __name__ == "__main__":
    main()
