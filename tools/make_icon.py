#!/usr/bin/env python3
"""Makes the program's .ico: one image for every size Windows asks for between 100 % and
200 % display scale (16, 20, 24, 32, 40, 48, 64 and 256 pixels), each made at its own size.

SOURCE.txt holds a palette and text art for some sizes (a square of palette keys per size).
Every other size is drawn here from the picture's geometry, snapped to whole pixels at that
size, in the art's palette: three raised buttons stepping down from the top-left corner to the
bottom-right, the close button's X, then the back and forward buttons' arrows. The smallest
sizes are text art because they need simpler glyphs than the geometry gives. Drawn at 32
pixels, the geometry gives the 32-pixel text art exactly (--text 32 prints it for a diff).

Usage: make_icon.py SOURCE.txt OUTPUT.ico
       make_icon.py SOURCE.txt --text SIZE    (prints the drawn image as rows of keys)
"""
import struct
import sys
import zlib

SIZES = (16, 20, 24, 32, 40, 48, 64, 256)
TRANSPARENT = "_"

# Per drawn size: edge line thickness, the step down from one button to the next, the arrows'
# outline and barb, and the X's stroke (pixels across on every row). Buttons are half the icon
# wide and each steps a quarter of the icon to the right; the glyphs fill the band of face a
# covered button shows above the next one.
LAYOUT = {
    24: dict(edge=1, step_down=7, outline=1, barb=1, stroke=2),
    32: dict(edge=1, step_down=9, outline=1, barb=1, stroke=2),
    40: dict(edge=1, step_down=11, outline=1, barb=1, stroke=2),
    48: dict(edge=1, step_down=13, outline=1, barb=2, stroke=3),
    64: dict(edge=2, step_down=18, outline=2, barb=2, stroke=4),
    256: dict(edge=8, step_down=72, outline=6, barb=8, stroke=16),
}


def read_art(path):
    """The palette {key: (red, green, blue)} and the text art {size: rows}. Consecutive rows
    make one image; a blank or comment line ends it."""
    palette, transparent, images, rows = {}, set(), {}, []

    def end_image(number):
        if not rows:
            return
        size = len(rows)
        if any(len(row) != size for row in rows):
            sys.exit(f"{path}:{number - 1}: an image must be square, every row {size} keys")
        if size not in SIZES or size in images:
            sys.exit(f"{path}:{number - 1}: a {size}-pixel image is no icon size or comes twice")
        images[size] = rows[:]
        rows.clear()

    number = 0
    with open(path, encoding="ascii") as source:
        for number, line in enumerate(source, 1):
            line = line.rstrip("\n")
            if not line or line.startswith("#"):
                end_image(number)
                continue
            if line.startswith("= "):
                end_image(number)
                fields = line.split()
                key = fields[1]
                if fields[2:] == ["transparent"]:
                    transparent.add(key)
                else:
                    palette[key] = tuple(int(value) for value in fields[2:5])
                continue
            for key in line:
                if key not in palette and key not in transparent:
                    sys.exit(f"{path}:{number}: '{key}' is not in the palette")
            rows.append(line)
        end_image(number + 1)
    if transparent != {TRANSPARENT}:
        sys.exit(f"{path}: '{TRANSPARENT}' must be the one transparent key")
    missing = set("wdm.ko12345") - set(palette)
    if missing:
        sys.exit(f"{path}: the drawn sizes need the keys {''.join(sorted(missing))}")
    undrawn = set(SIZES) - set(images) - set(LAYOUT)
    if undrawn:
        sys.exit(f"{path}: no art and no layout for {sorted(undrawn)} pixels")
    return palette, images


class Canvas:
    def __init__(self, size):
        self.size = size
        self.pixels = [[TRANSPARENT] * size for _ in range(size)]

    def put(self, x, y, key):
        if 0 <= x < self.size and 0 <= y < self.size:
            self.pixels[y][x] = key

    def rows(self):
        return ["".join(row) for row in self.pixels]


def draw_button(canvas, left, top, width, height, edge):
    """A raised button: white top and left, dark grey right and bottom with mid grey inside
    it, each line `edge` pixels thick; corners are mitred, the diagonal going to the dark."""
    for y in range(height):
        for x in range(width):
            to_left, to_top = x, y
            to_right, to_bottom = width - 1 - x, height - 1 - y
            nearest = min(to_left, to_top, to_right, to_bottom)
            shadow_side = min(to_right, to_bottom) <= min(to_left, to_top)
            if nearest < edge:
                key = "d" if shadow_side else "w"
            elif nearest < 2 * edge and shadow_side:
                key = "m"
            else:
                key = "."
            canvas.put(left + x, top + y, key)


def draw_x(canvas, left, top, width, stroke):
    """A black X `width` pixels wide, its strokes `stroke` pixels across on every row."""
    for row in range(width - stroke + 1):
        for x in list(range(row, row + stroke)) + list(range(width - stroke - row, width - row)):
            canvas.put(left + x, top + row, "k")


def arrow_shape(width, height, barb):
    """The pixels of an arrow pointing left: a 45-degree head as tall as the arrow, and a
    shaft `barb` pixels shorter at the top and the bottom, reaching the right side."""
    head_back = (height - 1) // 2
    shape = set()
    for y in range(height):
        from_edge = min(y, height - 1 - y)
        right = width - 1 if from_edge >= barb else head_back
        for x in range(head_back - from_edge, right + 1):
            shape.add((x, y))
    return shape


def draw_arrow(canvas, left, top, width, height, outline, barb, pointing_left):
    """A blue arrow with a near-black outline `outline` pixels thick, lightest at the top."""
    shape = arrow_shape(width, height, barb)
    inside = shape
    for _ in range(outline):
        inside = {(x, y) for x, y in inside
                  if {(x - 1, y), (x + 1, y), (x, y - 1), (x, y + 1)} <= inside}
    fill_rows = height - 2 * outline
    for x, y in shape:
        if (x, y) in inside:
            band = (y - outline) * 5 // max(fill_rows - 1, 1)
            key = str(5 - min(band, 4))
        else:
            key = "o"
        canvas.put(left + (x if pointing_left else width - 1 - x), top + y, key)


def draw_icon(size):
    layout = LAYOUT[size]
    edge, step_down = layout["edge"], layout["step_down"]
    width, step_right = size // 2, size // 4
    height = size - 2 * step_down
    # Above the next button, a covered button shows a band of face this many rows high.
    band = step_down - edge
    face_width, face_height = width - 3 * edge, height - 3 * edge
    arrow_width, arrow_height = face_width - 2 * edge, band
    x_height = band - 1
    x_width = x_height + layout["stroke"] - 1

    def centred(glyph_width):  # in the face, half a pixel to the right where it must
        return edge + (face_width - glyph_width + 1) // 2

    canvas = Canvas(size)
    draw_button(canvas, 0, 0, width, height, edge)
    draw_x(canvas, centred(x_width), step_down - x_height, x_width, layout["stroke"])

    left, top = step_right, step_down
    draw_button(canvas, left, top, width, height, edge)
    draw_arrow(canvas, left + centred(arrow_width), top + edge, arrow_width, arrow_height,
               layout["outline"], layout["barb"], True)

    left, top = 2 * step_right, 2 * step_down
    draw_button(canvas, left, top, width, height, edge)
    draw_arrow(canvas, left + centred(arrow_width),
               top + edge + (face_height - arrow_height) // 2, arrow_width, arrow_height,
               layout["outline"], layout["barb"], False)
    return canvas.rows()


def bmp_image(palette, rows):
    """A 256-colour DIB with its AND mask, as an .ico stores it: 8 bits a pixel, a palette of
    the art's colours only, so that every size costs a byte a pixel instead of four."""
    size = len(rows)
    keys = list(palette)
    index = {key: number for number, key in enumerate(keys)}
    colour, mask = bytearray(), bytearray()
    stride = (size + 3) // 4 * 4
    mask_stride = ((size + 31) // 32) * 4
    for row in reversed(rows):  # bitmaps are stored bottom-up
        bits = bytearray(mask_stride)
        line = bytearray(stride)
        for x, key in enumerate(row):
            if key == TRANSPARENT:
                bits[x // 8] |= 0x80 >> (x % 8)
            else:
                line[x] = index[key]
        colour += line
        mask += bits
    table = b"".join(bytes((blue, green, red, 0)) for red, green, blue in palette.values())
    # The header's height counts the colour bitmap and the mask together.
    header = struct.pack("<IiiHHIIiiII", 40, size, 2 * size, 1, 8, 0,
                         len(colour) + len(mask), 0, 0, len(keys), len(keys))
    return header + table + bytes(colour) + bytes(mask)


def png_image(palette, rows):
    """An 8-bit palette PNG with transparency: Windows Vista and later read it in an .ico."""
    keys = [TRANSPARENT] + list(palette)
    index = {key: number for number, key in enumerate(keys)}
    raw = b"".join(b"\0" + bytes(index[key] for key in row) for row in rows)

    def chunk(kind, data):
        return (struct.pack(">I", len(data)) + kind + data
                + struct.pack(">I", zlib.crc32(kind + data)))

    size = len(rows)
    colours = [(0, 0, 0)] + list(palette.values())
    return (b"\x89PNG\r\n\x1a\n"
            + chunk(b"IHDR", struct.pack(">IIBBBBB", size, size, 8, 3, 0, 0, 0))
            + chunk(b"PLTE", b"".join(bytes(colour) for colour in colours))
            + chunk(b"tRNS", b"\0")
            + chunk(b"IDAT", zlib.compress(raw, 9))
            + chunk(b"IEND", b""))


def icon_file(palette, images):
    """ICONDIR, one ICONDIRENTRY per image from the smallest up, then the images."""
    datas = [(size, (png_image if size == 256 else bmp_image)(palette, rows))
             for size, rows in sorted(images.items())]
    directory = struct.pack("<HHH", 0, 1, len(datas))
    offset = 6 + 16 * len(datas)
    entries, blobs = b"", b""
    for size, data in datas:
        bits = 32 if size == 256 else 8  # the PNG's own depth does not count here
        entries += struct.pack("<BBBBHHII", size % 256, size % 256, 0, 0, 1, bits, len(data),
                               offset)
        blobs += data
        offset += len(data)
    return directory + entries + blobs


def main():
    arguments = sys.argv[1:]
    if len(arguments) == 3 and arguments[1] == "--text":
        size = int(arguments[2])
        if size not in LAYOUT:
            sys.exit(f"no layout for {size} pixels; drawn sizes: {', '.join(map(str, LAYOUT))}")
        read_art(arguments[0])
        print("\n".join(draw_icon(size)))
        return
    if len(arguments) != 2:
        sys.exit(__doc__)
    palette, art = read_art(arguments[0])
    images = {size: art[size] if size in art else draw_icon(size) for size in SIZES}
    with open(arguments[1], "wb") as output:
        output.write(icon_file(palette, images))


if __name__ == "__main__":
    main()
