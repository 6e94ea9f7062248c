#!/usr/bin/env python3
"""Writes the program's pictures from the pixel grids below: the window icon (16 x 16,
24-bit .ico), the scan button's picture (15 x 20) and the folder and drive pictures of the
client directory dialog (24-bit .bmp, magenta where the background shows through).

Usage: make_pictures.py OUTPUT_FOLDER
"""
import struct
import sys
from pathlib import Path

PALETTE = {
    ".": (255, 0, 255),    # background shows through
    "w": (255, 255, 255),
    "o": (96, 96, 96),     # sheet outline
    "f": (208, 208, 208),  # folded corner
    "g": (40, 170, 60),    # refresh arrows
    "d": (0, 110, 30),     # their shade
    "b": (40, 80, 160),    # title bar of the icon's sheet
    "y": (250, 216, 96),   # folder
    "Y": (200, 150, 30),   # folder edge
    "s": (176, 176, 176),  # drive body
    "k": (64, 64, 64),     # drive edge
    "l": (0, 200, 0),      # drive light
}

REFRESH = [  # 15 x 20: a sheet with a folded corner and two arrows chasing each other
    "ooooooooooo....",
    "owwwwwwwwwoo...",
    "owwwwwwwwwofo..",
    "owwwwwwwwwoffo.",
    "owwwwwwwwwooooo",
    "owwwwwwwwwwwwwo",
    "owwwwggggwwwwwo",
    "owwwggddgggwgwo",
    "owwggwwwwwgggwo",
    "owwgdwwwwwdggwo",
    "owwgwwwwwggggwo",
    "owwwwwwwwwwwwwo",
    "owggggwwwwwwgwo",
    "owggdwwwwwwdgwo",
    "owgggwwwwwwggwo",
    "owgwgggddggwwwo",
    "owwwwwggggwwwwo",
    "owwwwwwwwwwwwwo",
    "owwwwwwwwwwwwwo",
    "ooooooooooooooo",
]

ICON = [  # 16 x 16: the same sheet, its arrows on a blue title line
    "..ooooooooooo...",
    "..obbbbbbbbbfo..",
    "..owwwwwwwwwffo.",
    "..owwwwwwwwwoooo",
    "..owwwggggwwwwwo",
    "..owwggddggwgwwo",
    "..owgwwwwwgggwwo",
    "..owgdwwwwdggwwo",
    "..owwwwwwwwwwwwo",
    "..owggdwwwwdgwwo",
    "..owgggwwwwwgwwo",
    "..owgwggddggwwwo",
    "..owwwwggggwwwwo",
    "..owwwwwwwwwwwwo",
    "..oooooooooooooo",
    "................",
]

FOLDER_CLOSED = [  # 16 x 13
    "................",
    "..YYYYY.........",
    ".YyyyyyY........",
    "YYYYYYYYYYYYYY..",
    "YyyyyyyyyyyyyY..",
    "YyyyyyyyyyyyyY..",
    "YyyyyyyyyyyyyY..",
    "YyyyyyyyyyyyyY..",
    "YyyyyyyyyyyyyY..",
    "YyyyyyyyyyyyyY..",
    "YyyyyyyyyyyyyY..",
    "YYYYYYYYYYYYYY..",
    "................",
]

FOLDER_OPEN = [  # 16 x 13
    "................",
    "..YYYYY.........",
    ".YyyyyyY........",
    "YYyyyyyYYYYYY...",
    "YyyyyyyyyyyyY...",
    "YyyYYYYYYYYYYYYY",
    "YyYyyyyyyyyyyyY.",
    "YyYyyyyyyyyyyyY.",
    "YYyyyyyyyyyyyY..",
    "YYyyyyyyyyyyyY..",
    "YyyyyyyyyyyyY...",
    "YYYYYYYYYYYYY...",
    "................",
]

DRIVE = [  # 16 x 13
    "................",
    "................",
    "................",
    "..kkkkkkkkkkkk..",
    ".ksssssssssssssk",
    ".kwwwwwwwwwwwwsk",
    ".ksssssssssssssk",
    ".ksssssssssslssk",
    ".kkkkkkkkkkkkkkk",
    "................",
    "................",
    "................",
    "................",
]


def rows_bgr(grid, pad_to=4):
    """Bottom-up rows of 24-bit pixels, each padded to a multiple of four bytes."""
    width = len(grid[0])
    out = b""
    for line in reversed(grid):
        assert len(line) == width, line
        row = b"".join(bytes(reversed(PALETTE[c])) for c in line)
        out += row + b"\0" * (-len(row) % pad_to)
    return out


def info_header(width, height):
    return struct.pack("<IiiHHIIiiII", 40, width, height, 1, 24, 0, 0, 2835, 2835, 0, 0)


def bmp(grid):
    pixels = rows_bgr(grid)
    header = info_header(len(grid[0]), len(grid))
    offset = 14 + len(header)
    return b"BM" + struct.pack("<IHHI", offset + len(pixels), 0, 0, offset) + header + pixels


def ico(grid):
    width, height = len(grid[0]), len(grid)
    # The AND mask hides the background; the colour under it must then be black.
    colours = b""
    for line in reversed(grid):
        row = b"".join(b"\0\0\0" if c == "." else bytes(reversed(PALETTE[c])) for c in line)
        colours += row + b"\0" * (-len(row) % 4)
    mask = b""
    for line in reversed(grid):
        bits = "".join("1" if c == "." else "0" for c in line).ljust(32, "0")
        mask += int(bits, 2).to_bytes(4, "big")
    image = info_header(width, height * 2) + colours + mask
    return (struct.pack("<HHH", 0, 1, 1)
            + struct.pack("<BBBBHHII", width, height, 0, 0, 1, 24, len(image), 6 + 16)
            + image)


def main():
    out = Path(sys.argv[1])
    out.mkdir(parents=True, exist_ok=True)
    (out / "vemor.ico").write_bytes(ico(ICON))
    for name, grid in [("refresh.bmp", REFRESH), ("folder_closed.bmp", FOLDER_CLOSED),
                       ("folder_open.bmp", FOLDER_OPEN), ("drive.bmp", DRIVE)]:
        (out / name).write_bytes(bmp(grid))


if __name__ == "__main__":
    main()
