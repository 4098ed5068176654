#!/usr/bin/env python3
"""Turns a text icon (palette lines, then rows of palette keys) into a 256-colour .ico file.

Usage: make_icon.py SOURCE.txt OUTPUT.ico
"""
import struct
import sys


def read_art(path):
    palette, transparent, rows = {}, set(), []
    with open(path, encoding="ascii") as source:
        for number, line in enumerate(source, 1):
            line = line.rstrip("\n")
            if not line or line.startswith("#"):
                continue
            if line.startswith("= "):
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
    if not rows or any(len(row) != len(rows[0]) for row in rows):
        sys.exit(f"{path}: rows must all have the same width")
    return palette, transparent, rows


def icon_bytes(palette, transparent, rows):
    width, height = len(rows[0]), len(rows)
    if width > 256 or height > 256 or len(palette) > 255:
        sys.exit("icon too large or too many colours")
    # Index 0 is black, used under transparent pixels; the colours follow in palette order.
    colours = [(0, 0, 0)] + list(palette.values())
    index = {key: number + 1 for number, key in enumerate(palette)}
    colour_table = b"".join(struct.pack("<BBBB", b, g, r, 0) for r, g, b in colours)
    colour_table += b"\0" * (4 * (256 - len(colours)))

    xor_stride = (width + 3) & ~3
    and_stride = ((width + 31) // 32) * 4
    xor_rows, and_rows = [], []
    for row in reversed(rows):  # bitmaps are stored bottom-up
        xor_rows.append(bytes(0 if key in transparent else index[key] for key in row)
                        + b"\0" * (xor_stride - width))
        mask = bytearray(and_stride)
        for x, key in enumerate(row):
            if key in transparent:
                mask[x // 8] |= 0x80 >> (x % 8)
        and_rows.append(bytes(mask))
    # The header's height counts the colour bitmap and the mask together.
    header = struct.pack("<IiiHHIIiiII", 40, width, 2 * height, 1, 8, 0,
                         (xor_stride + and_stride) * height, 0, 0, 256, 0)
    image = header + colour_table + b"".join(xor_rows) + b"".join(and_rows)
    directory = struct.pack("<HHH", 0, 1, 1)
    entry = struct.pack("<BBBBHHII", width % 256, height % 256, 0, 0, 1, 8, len(image),
                        6 + 16)
    return directory + entry + image


def main():
    if len(sys.argv) != 3:
        sys.exit(__doc__)
    data = icon_bytes(*read_art(sys.argv[1]))
    with open(sys.argv[2], "wb") as output:
        output.write(data)


if __name__ == "__main__":
    main()
