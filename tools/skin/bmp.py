"""Minimal writers for 8-bit BMP and ICO files (no third-party modules)."""
import struct


def bmp_bytes(width, height, pixels, palette):
    """pixels: list of rows (top to bottom) of palette indices; palette: 256 (r,g,b)."""
    stride = (width + 3) & ~3
    image = bytearray()
    for row in reversed(pixels):  # bottom-up DIB
        image += bytes(row) + b"\0" * (stride - width)
    colours = bytearray()
    for r, g, b in palette:
        colours += bytes((b, g, r, 0))
    header = struct.pack("<IiiHHIIiiII", 40, width, height, 1, 8, 0, len(image),
                         2835, 2835, len(palette), 0)
    offset = 14 + len(header) + len(colours)
    filehdr = struct.pack("<2sIHHI", b"BM", offset + len(image), 0, 0, offset)
    return filehdr + header + colours + image


def ico_bytes(size, pixels, palette, transparent, hotspot=None):
    """A one-image icon, or a cursor when a hotspot is given; pixels equal to
    `transparent` are masked out."""
    stride = (size + 3) & ~3
    xor = bytearray()
    for row in reversed(pixels):
        xor += bytes(row) + b"\0" * (stride - size)
    mask_stride = ((size + 31) // 32) * 4
    mask = bytearray()
    for row in reversed(pixels):
        bits = bytearray(mask_stride)
        for x, v in enumerate(row):
            if v == transparent:
                bits[x // 8] |= 0x80 >> (x % 8)
        mask += bits
    colours = bytearray()
    for r, g, b in palette:
        colours += bytes((b, g, r, 0))
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 8, 0,
                         len(xor) + len(mask), 0, 0, len(palette), 0)
    image = header + colours + xor + mask
    if hotspot is None:
        directory = struct.pack("<HHH", 0, 1, 1)
        entry = struct.pack("<BBBBHHII", size % 256, size % 256, 0, 0, 1, 8, len(image), 6 + 16)
    else:
        directory = struct.pack("<HHH", 0, 2, 1)
        entry = struct.pack("<BBBBHHII", size % 256, size % 256, 0, 0, hotspot[0], hotspot[1],
                            len(image), 6 + 16)
    return directory + entry + image
