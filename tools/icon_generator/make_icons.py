#!/usr/bin/env python3
"""Renders the menu icon's drawing (adoc_icon.txt) into the library's icon files.

    make_icons.py [--preview DIR]

Writes resources/icons/menu.ico (group 101: 16, 20, 24, 32, 40 and 48 px, 32 bpp, one per
small-icon size at 100, 125, 150, 200, 250 and 300 % display scale),
resources/icons/document.ico (group 102: 48, 32, 24 and 16 px, each at 8 and 32 bpp), and the
logos that the package manifest names (resources/package/Assets: 44, 50 and 150 px PNGs with
transparency). With --preview it also writes PNG pictures of every size, enlarged, on a light
and on a dark background.

The menu icon's sizes are each fitted to their own pixel grid: the drawing's strokes (its
"stems" lines) get a whole number of pixels, the same on every side, and the other grid
gaps share what is left, so no straight edge falls inside a pixel. Group 102 and the logos
keep plain scaled renderings.
Only the standard library is used.
"""

import argparse
import math
import os
import struct
import zlib

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(os.path.dirname(HERE))
GRID = 16.0
SAMPLES = 8  # supersamples per pixel and axis
MENU_SIZES = (16, 20, 24, 32, 40, 48)  # group 101, in directory order


def parse_points(words):
    return [tuple(float(v) for v in w.split(",")) for w in words]


def load_drawing(path):
    """The shapes, and the stroke gaps of each axis as (first grid line, second grid line)."""
    colours, shapes, stems = {}, [], {"x": [], "y": []}
    with open(path, encoding="utf-8") as source:
        for number, line in enumerate(source, 1):
            words = line.split("#", 1)[0].split()
            if not words:
                continue
            kind, name, rest = words[0], words[1], words[2:]
            if kind == "stems":
                stems[name] += [tuple(int(v) for v in w.split(",")) for w in rest]
                continue
            if kind == "colour":
                colours[name] = tuple(int(rest[0][i:i + 2], 16) for i in (0, 2, 4))
                continue
            if name not in colours:
                raise SystemExit(f"{path}:{number}: unknown colour {name}")
            if kind in ("polygon", "rect", "circle", "line"):
                shapes.append((kind, colours[name], rest))
            else:
                raise SystemExit(f"{path}:{number}: unknown shape {kind}")
    return shapes, stems


def stroke_width(size):
    """Whole pixels for a stroke one grid unit wide: 1 up to 24 px, then about size / 16."""
    return max(1, math.floor(size / GRID + 0.25))


def grid_lines(size, stems):
    """Pixel position of each of the 17 grid lines along one axis at `size` pixels."""
    stroke = stroke_width(size)
    gaps = [i for i in range(int(GRID)) if (i, i + 1) not in stems]
    spare = size - stroke * (int(GRID) - len(gaps))
    share = {gap: math.floor((k + 1) * spare / len(gaps) + 0.5) -
             math.floor(k * spare / len(gaps) + 0.5) for k, gap in enumerate(gaps)}
    lines = [0]
    for i in range(int(GRID)):
        lines.append(lines[-1] + share.get(i, stroke))
    return lines


def fit(shapes, stems, size):
    """The drawing in pixels at `size`: grid lines go where grid_lines puts them, points between
    them in proportion; radii and line widths scale with the size."""
    across = {axis: grid_lines(size, stems[axis]) for axis in ("x", "y")}

    def place(value, lines):
        whole = min(int(math.floor(value)), int(GRID) - 1)
        return lines[whole] + (value - whole) * (lines[whole + 1] - lines[whole])

    def point(word):
        x, y = (float(v) for v in word.split(","))
        return f"{place(x, across['x'])!r},{place(y, across['y'])!r}"

    scale = size / GRID
    fitted = []
    for kind, colour, rest in shapes:
        if kind in ("polygon", "rect"):
            rest = [point(w) for w in rest]
        elif kind == "circle":
            rest = [point(rest[0]), repr(float(rest[1]) * scale)]
        else:
            rest = [repr(float(rest[0]) * scale)] + [point(w) for w in rest[1:]]
        fitted.append((kind, colour, rest))
    return fitted


def inside_polygon(points, x, y):
    result = False
    for (x0, y0), (x1, y1) in zip(points, points[1:] + points[:1]):
        if (y0 > y) != (y1 > y) and x < x0 + (y - y0) * (x1 - x0) / (y1 - y0):
            result = not result
    return result


def segment_distance(x, y, a, b):
    (ax, ay), (bx, by) = a, b
    dx, dy = bx - ax, by - ay
    t = max(0.0, min(1.0, ((x - ax) * dx + (y - ay) * dy) / (dx * dx + dy * dy or 1.0)))
    return math.hypot(x - ax - t * dx, y - ay - t * dy)


def covers(shape, x, y):
    kind, _, rest = shape
    if kind == "polygon":
        return inside_polygon(parse_points(rest), x, y)
    if kind == "rect":
        (x0, y0), (x1, y1) = parse_points(rest)
        return x0 <= x < x1 and y0 <= y < y1
    if kind == "circle":
        (cx, cy), = parse_points(rest[:1])
        return math.hypot(x - cx, y - cy) <= float(rest[1])
    width, points = float(rest[0]), parse_points(rest[1:])
    return any(segment_distance(x, y, a, b) <= width / 2 for a, b in zip(points, points[1:]))


def render(shapes, size, grid=GRID):
    """Straight-alpha RGBA rows, top row first, of a drawing `grid` units wide."""
    scale = grid / size
    rows = []
    for py in range(size):
        row = []
        for px in range(size):
            r = g = b = a = 0.0
            for sy in range(SAMPLES):
                for sx in range(SAMPLES):
                    x = (px + (sx + 0.5) / SAMPLES) * scale
                    y = (py + (sy + 0.5) / SAMPLES) * scale
                    top = None
                    for shape in shapes:
                        if covers(shape, x, y):
                            top = shape[1]
                    if top is not None:
                        r, g, b, a = r + top[0], g + top[1], b + top[2], a + 1
            if a == 0:
                row.append((0, 0, 0, 0))
            else:
                row.append((round(r / a), round(g / a), round(b / a),
                            round(255 * a / SAMPLES ** 2)))
        rows.append(row)
    return rows


def and_mask(rows):
    size = len(rows)
    stride = ((size + 31) // 32) * 4
    data = b""
    for row in reversed(rows):
        bits = bytearray(stride)
        for x, pixel in enumerate(row):
            if pixel[3] < 128:
                bits[x // 8] |= 0x80 >> (x % 8)
        data += bytes(bits)
    return data


def bitmap_32(rows):
    size = len(rows)
    header = struct.pack("<IiiHHIIiiII", 40, size, 2 * size, 1, 32, 0, 0, 0, 0, 0, 0)
    pixels = b"".join(bytes((b, g, r, a)) for row in reversed(rows) for r, g, b, a in row)
    return header + pixels + and_mask(rows)


def palette_256(rows):
    """The drawing's own colours first, then a colour cube for the blended edges."""
    colours = []
    for row in rows:
        for r, g, b, a in row:
            if a == 255 and (r, g, b) not in colours and len(colours) < 40:
                colours.append((r, g, b))
    steps = (0, 51, 102, 153, 204, 255)
    for r in steps:
        for g in steps:
            for b in steps:
                if len(colours) < 256 and (r, g, b) not in colours:
                    colours.append((r, g, b))
    while len(colours) < 256:
        colours.append((0, 0, 0))
    return colours


def bitmap_8(rows):
    size = len(rows)
    palette = palette_256(rows)
    header = struct.pack("<IiiHHIIiiII", 40, size, 2 * size, 1, 8, 0, 0, 0, 0, 256, 0)
    table = b"".join(bytes((b, g, r, 0)) for r, g, b in palette)
    stride = (size + 3) // 4 * 4
    data = b""
    for row in reversed(rows):
        line = bytearray(stride)
        for x, (r, g, b, a) in enumerate(row):
            if a >= 128:
                line[x] = min(range(256), key=lambda i: (palette[i][0] - r) ** 2 +
                              (palette[i][1] - g) ** 2 + (palette[i][2] - b) ** 2)
        data += bytes(line)
    return header + table + data + and_mask(rows)


def icon_file(images):
    """images: (size, bits per pixel, bitmap bytes) in directory order."""
    out = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for size, bpp, data in images:
        out += struct.pack("<BBBBHHII", size % 256, size % 256, 0, 0, 1, bpp, len(data), offset)
        offset += len(data)
    return out + b"".join(data for _, _, data in images)


def png(path, width, height, pixel, alpha=False):
    """pixel(x, y) gives (r, g, b), or (r, g, b, a) with alpha."""
    raw = b"".join(b"\0" + b"".join(bytes(pixel(x, y)) for x in range(width))
                   for y in range(height))
    colour_type = 6 if alpha else 2

    def chunk(tag, data):
        return (struct.pack(">I", len(data)) + tag + data +
                struct.pack(">I", zlib.crc32(tag + data) & 0xFFFFFFFF))

    with open(path, "wb") as out:
        out.write(b"\x89PNG\r\n\x1a\n" +
                  chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, colour_type, 0, 0, 0)) +
                  chunk(b"IDAT", zlib.compress(raw)) + chunk(b"IEND", b""))


def preview(directory, renders, name, zoom=8):
    """All sizes side by side, enlarged, on a light band above a dark band."""
    backgrounds = ((240, 240, 240), (43, 43, 43))
    gap = 8
    width = sum(size * zoom + gap for size in renders) + gap
    band = max(renders) * zoom + 2 * gap
    lefts, left = {}, gap
    for size in renders:
        lefts[size] = left
        left += size * zoom + gap

    def pixel(x, y):
        background = backgrounds[y // band]
        for size, left in lefts.items():
            px, py = (x - left) // zoom, (y % band - gap) // zoom
            if x >= left and 0 <= px < size and 0 <= py < size and y % band >= gap:
                r, g, b, a = renders[size][py][px]
                return tuple(round((c * a + k * (255 - a)) / 255)
                             for c, k in zip((r, g, b), background))
        return background

    path = os.path.join(directory, name)
    png(path, width, 2 * band, pixel)
    return path


# Logo file, its size, and the size of the drawing centred in it: a multiple of the 16-unit
# grid keeps the straight edges sharp, and the margin is the one Windows' tiles expect.
PACKAGE_LOGOS = (("Square44x44Logo.png", 44, 32), ("StoreLogo.png", 50, 48),
                 ("Square150x150Logo.png", 150, 96))


def package_logos(shapes):
    out_dir = os.path.join(ROOT, "resources", "package", "Assets")
    os.makedirs(out_dir, exist_ok=True)
    for name, size, inner in PACKAGE_LOGOS:
        rows, margin = render(shapes, inner), (size - inner) // 2

        def pixel(x, y):
            x, y = x - margin, y - margin
            return rows[y][x] if 0 <= x < inner and 0 <= y < inner else (0, 0, 0, 0)

        png(os.path.join(out_dir, name), size, size, pixel, alpha=True)


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--preview", metavar="DIR", help="also write a PNG preview into DIR")
    args = parser.parse_args()
    shapes, stems = load_drawing(os.path.join(HERE, "adoc_icon.txt"))
    renders = {size: render(shapes, size) for size in (48, 32, 24, 16)}
    fitted = {size: render(fit(shapes, stems, size), size, size) for size in MENU_SIZES}
    out_dir = os.path.join(ROOT, "resources", "icons")
    os.makedirs(out_dir, exist_ok=True)
    with open(os.path.join(out_dir, "menu.ico"), "wb") as out:
        out.write(icon_file([(size, 32, bitmap_32(fitted[size])) for size in MENU_SIZES]))
    images = []
    for size in (48, 32, 24, 16):
        images.append((size, 8, bitmap_8(renders[size])))
        images.append((size, 32, bitmap_32(renders[size])))
    with open(os.path.join(out_dir, "document.ico"), "wb") as out:
        out.write(icon_file(images))
    package_logos(shapes)
    if args.preview:
        print(preview(args.preview, fitted, "menu_icon_preview.png"))
        print(preview(args.preview, renders, "document_icon_preview.png"))


if __name__ == "__main__":
    main()
