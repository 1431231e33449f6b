#!/usr/bin/env python3
"""Writes Rowquarry's optional resource files, reproducibly, with the standard library only.

    python3 resources/make-resources.py

makes, beside this script:
    HAND-M.CUR     the pointing-hand cursor shown over buttons (32x32, 32-bit BGRA, hot spot at the fingertip)
    rowquarry.png  the application icon, 64x64 RGBA
    rowquarry.ico  the same icon for Windows: 64x64 (PNG-compressed), 32x32 and 16x16 (32-bit BMP)

Running it again gives the same bytes.
"""

import math
import os
import struct
import zlib

HERE = os.path.dirname(os.path.abspath(__file__))


# --------------------------------------------------------------------------------------------------
# The cursor
# --------------------------------------------------------------------------------------------------

# 'X' black outline, 'o' white fill, '.' transparent. Rows shorter than 32 are padded with '.'.
HAND = [
    "......XXX",
    ".....XoooX",
    ".....XoooX",
    ".....XoooX",
    ".....XoooX",
    ".....XoooX",
    ".....XoooXXXX",
    ".....XoooXoooXXXX",
    ".....XoooXoooXoooXXX",
    ".....XoooXoooXoooXooX",
    ".XX..XoooXoooXoooXooX",
    "XooX.XoooXoooXoooXooX",
    "XoooXXooooooooooooooX",
    ".XoooXooooooooooooooX",
    ".XooooooooooooooooooX",
    "..XoooooooooooooooooX",
    "..XoooooooooooooooooX",
    "...XooooooooooooooooX",
    "...XoooooooooooooooX",
    "....XooooooooooooooX",
    "....XooooooooooooooX",
    ".....XooooooooooooX",
    ".....XXXXXXXXXXXXXX",
]

# The top pixel of the index finger's rounded tip: column 7 of row 0 (the middle of "XXX").
HAND_HOT_SPOT = (7, 0)

CURSOR_SIZE = 32
CURSOR_COLOURS = {  # B, G, R, A
    ".": (0, 0, 0, 0),
    "X": (0, 0, 0, 255),
    "o": (255, 255, 255, 255),
}


def cursor_pixels(grid):
    """Rows of (B, G, R, A) tuples, top row first, from an ASCII-art grid."""
    if len(grid) > CURSOR_SIZE or any(len(row) > CURSOR_SIZE for row in grid):
        raise ValueError("the cursor grid is larger than 32x32")
    rows = []
    for y in range(CURSOR_SIZE):
        text = grid[y] if y < len(grid) else ""
        text = text.ljust(CURSOR_SIZE, ".")
        rows.append([CURSOR_COLOURS[c] for c in text])
    return rows


def dib_32bit(rows):
    """An icon/cursor image: BITMAPINFOHEADER (height doubled), BGRA rows bottom-up, then the AND mask.

    The 1-bpp AND mask is all zero: the 32-bit alpha channel carries the transparency.
    """
    height = len(rows)
    width = len(rows[0])
    xor_bytes = bytearray()
    for row in reversed(rows):
        for b, g, r, a in row:
            xor_bytes += bytes((b, g, r, a))
    mask_stride = ((width + 31) // 32) * 4
    and_bytes = bytes(mask_stride * height)
    header = struct.pack(
        "<IiiHHIIiiII",
        40,  # biSize
        width,
        height * 2,  # the XOR image and the AND mask together
        1,  # biPlanes
        32,  # biBitCount
        0,  # BI_RGB
        len(xor_bytes) + len(and_bytes),  # biSizeImage
        0,
        0,
        0,
        0,
    )
    return header + bytes(xor_bytes) + and_bytes


def icon_directory(kind, entries):
    """An ICO (kind 1) or CUR (kind 2) file from (width, height, field1, field2, data) entries.

    field1/field2 are the colour planes and bits per pixel of an icon, the hot spot x/y of a cursor.
    """
    header = struct.pack("<HHH", 0, kind, len(entries))
    offset = len(header) + 16 * len(entries)
    directory = b""
    images = b""
    for width, height, field1, field2, data in entries:
        directory += struct.pack(
            "<BBBBHHII", width % 256, height % 256, 0, 0, field1, field2, len(data), offset + len(images)
        )
        images += data
    return header + directory + images


def make_cursor():
    rows = cursor_pixels(HAND)
    hot_x, hot_y = HAND_HOT_SPOT
    if rows[hot_y][hot_x][3] == 0:
        raise ValueError("the hot spot lies on a transparent pixel")
    return icon_directory(2, [(CURSOR_SIZE, CURSOR_SIZE, hot_x, hot_y, dib_32bit(rows))])


# --------------------------------------------------------------------------------------------------
# The application icon: a database cylinder with a magnifier, drawn in a 64x64 design space and
# rendered at any size with 4x4 supersampling.
# --------------------------------------------------------------------------------------------------

CYL_CX, CYL_RX, CYL_RY = 27.0, 20.0, 7.0
CYL_TOP, CYL_BOTTOM = 13.0, 46.0
BANDS = (CYL_TOP + (CYL_BOTTOM - CYL_TOP) / 3.0, CYL_TOP + 2.0 * (CYL_BOTTOM - CYL_TOP) / 3.0)
LENS_CX, LENS_CY = 44.5, 43.5
LENS_R, RING_R = 8.0, 12.0  # inside and outside of the magnifier's ring
HANDLE_FROM = (LENS_CX + RING_R * 0.6, LENS_CY + RING_R * 0.6)
HANDLE_TO = (59.5, 58.5)
HANDLE_HALF = 3.2

NAVY = (11, 52, 92)
BODY_EDGE = (20, 98, 148)
BODY_LIGHT = (64, 180, 210)
TOP_FACE = (150, 226, 240)
RING = (38, 50, 56)
HANDLE = (230, 118, 20)


def mix(a, b, t):
    t = max(0.0, min(1.0, t))
    return tuple(a[i] + (b[i] - a[i]) * t for i in range(3))


def in_ellipse(x, y, cx, cy, rx, ry):
    return ((x - cx) / rx) ** 2 + ((y - cy) / ry) ** 2 <= 1.0


def in_cylinder(x, y, grow):
    rx, ry = CYL_RX + grow, CYL_RY + grow
    if abs(x - CYL_CX) <= rx and CYL_TOP <= y <= CYL_BOTTOM:
        return True
    return in_ellipse(x, y, CYL_CX, CYL_TOP, rx, ry) or in_ellipse(x, y, CYL_CX, CYL_BOTTOM, rx, ry)


def on_lower_arc(x, y, cy, half_width):
    """Near the front (lower) half of the cylinder's cross-section ellipse centred at height cy."""
    u = (x - CYL_CX) / CYL_RX
    if abs(u) > 1.0:
        return False
    return abs(y - (cy + CYL_RY * math.sqrt(1.0 - u * u))) <= half_width


def distance_to_segment(x, y, a, b):
    ax, ay = a
    bx, by = b
    dx, dy = bx - ax, by - ay
    t = max(0.0, min(1.0, ((x - ax) * dx + (y - ay) * dy) / (dx * dx + dy * dy)))
    return math.hypot(x - (ax + t * dx), y - (ay + t * dy))


def icon_sample(x, y, line):
    """The colour (R, G, B, A as floats, A in 0..1) at design point (x, y).

    line is the half width of the thin lines, in design units, so that they stay visible when small.
    """
    colour = None  # transparent
    lens_d = math.hypot(x - LENS_CX, y - LENS_CY)
    handle_d = distance_to_segment(x, y, HANDLE_FROM, HANDLE_TO)

    # The cylinder: a navy outline, the body shaded as a cylinder, two bands, a light top.
    if in_cylinder(x, y, line * 2.0):
        colour = NAVY
    if in_cylinder(x, y, 0.0):
        t = (x - (CYL_CX - CYL_RX)) / (2.0 * CYL_RX)  # 0 at the left edge, 1 at the right
        light = max(0.0, 1.0 - abs(t - 0.35) / 0.65) ** 1.5
        colour = mix(BODY_EDGE, BODY_LIGHT, light)
        if y > CYL_TOP and any(on_lower_arc(x, y, band, line) for band in BANDS):
            colour = NAVY
    if in_ellipse(x, y, CYL_CX, CYL_TOP, CYL_RX, CYL_RY):
        colour = NAVY
    if in_ellipse(x, y, CYL_CX, CYL_TOP, CYL_RX - line * 2.0, CYL_RY - line * 2.0):
        colour = mix(TOP_FACE, (255, 255, 255), (CYL_TOP - y) / CYL_RY + 0.2)

    # A clear gap around the magnifier's ring and handle.
    gap = 2.0 * line + 0.5
    if LENS_R <= lens_d <= RING_R + gap or handle_d <= HANDLE_HALF + gap:
        colour = None

    alpha = 1.0
    if lens_d < LENS_R:  # the glass: what lies behind, lightened
        behind = colour if colour is not None else (255, 255, 255)
        if colour is None:
            alpha = 0.75
        colour = mix(behind, (255, 255, 255), 0.6)
        # a small glint at the upper left of the glass
        glint = math.hypot(x - (LENS_CX - 3.2), y - (LENS_CY - 3.2))
        if glint < 1.8:
            colour = (255, 255, 255)
            alpha = 1.0
    if handle_d <= HANDLE_HALF:
        colour = HANDLE
        alpha = 1.0
    if LENS_R <= lens_d <= RING_R:
        colour = RING
        alpha = 1.0
    if colour is None:
        return (0.0, 0.0, 0.0, 0.0)
    return (colour[0], colour[1], colour[2], alpha)


def render_icon(size, samples=4):
    """Rows of (R, G, B, A) byte tuples, top row first, for a size x size icon."""
    scale = 64.0 / size
    line = max(1.0, 0.55 * scale)
    rows = []
    for py in range(size):
        row = []
        for px in range(size):
            r = g = b = a = 0.0
            for j in range(samples):
                for i in range(samples):
                    x = (px + (i + 0.5) / samples) * scale
                    y = (py + (j + 0.5) / samples) * scale
                    sr, sg, sb, sa = icon_sample(x, y, line)
                    r += sr * sa
                    g += sg * sa
                    b += sb * sa
                    a += sa
            n = samples * samples
            if a > 0.0:
                pixel = (r / a, g / a, b / a, a / n * 255.0)
            else:
                pixel = (0.0, 0.0, 0.0, 0.0)
            row.append(tuple(int(round(max(0.0, min(255.0, c)))) for c in pixel))
        rows.append(row)
    return rows


def png_bytes(rows):
    """An 8-bit RGBA PNG (no filtering, no ancillary chunks) from rows of (R, G, B, A)."""
    height = len(rows)
    width = len(rows[0])
    raw = bytearray()
    for row in rows:
        raw.append(0)  # filter type: none
        for pixel in row:
            raw += bytes(pixel)

    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF)

    ihdr = struct.pack(">IIBBBBB", width, height, 8, 6, 0, 0, 0)  # 8 bits, RGBA, deflate, no interlace
    return b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", ihdr) + chunk(b"IDAT", zlib.compress(bytes(raw), 9)) + chunk(b"IEND", b"")


def bgra(rows):
    return [[(b, g, r, a) for r, g, b, a in row] for row in rows]


def make_icons():
    big = render_icon(64)
    png = png_bytes(big)
    ico = icon_directory(
        1,
        [
            (64, 64, 1, 32, png),
            (32, 32, 1, 32, dib_32bit(bgra(render_icon(32)))),
            (16, 16, 1, 32, dib_32bit(bgra(render_icon(16)))),
        ],
    )
    return png, ico


def write(relative, data):
    path = os.path.join(HERE, relative)
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "wb") as out:
        out.write(data)
    print(f"{relative}: {len(data)} bytes")


def main():
    write("HAND-M.CUR", make_cursor())
    png, ico = make_icons()
    write("rowquarry.png", png)
    write("rowquarry.ico", ico)


if __name__ == "__main__":
    main()
