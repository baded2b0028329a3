#!/usr/bin/env python3
"""Draws the console's icons and bitmaps into a directory of the build tree.

    make_artwork.py OUTPUT-DIRECTORY

Resource artwork: icon files for the large, small and tray icons and the ten
animation frames, and the two background tiles (2500, 2501 in different
colours). The same pictures are also written under the names the
"Test Icon Files" setting reads from the configuration directory.
"""
import os
import struct
import sys


def dib(width, height, pixel, mask_rows=True):
    """A 24-bit bottom-up DIB (header, pixels, and for icons an AND mask)."""
    row_pad = (4 - (width * 3) % 4) % 4
    pixels = bytearray()
    for y in range(height - 1, -1, -1):
        for x in range(width):
            r, g, b = pixel(x, y)
            pixels += bytes((b, g, r))
        pixels += b"\0" * row_pad
    mask = b""
    if mask_rows:
        mask_row = ((width + 31) // 32) * 4
        mask = b"\0" * (mask_row * height)
    header_height = height * 2 if mask_rows else height
    header = struct.pack("<IiiHHIIiiII", 40, width, header_height, 1, 24, 0, len(pixels) + len(mask), 0, 0, 0, 0)
    return header + bytes(pixels) + mask


def icon(frame):
    """An ICO file with a 32x32 and a 16x16 picture; frame -1 is the idle icon."""
    def pixel_for(size):
        def pixel(x, y):
            edge = x in (0, size - 1) or y in (0, size - 1)
            if edge:
                return (0, 0, 0)
            cx, cy = x - size // 2, y - size // 2
            inside = cx * cx + cy * cy < (size // 3) ** 2
            if frame < 0:
                return (0, 96, 160) if inside else (224, 224, 224)
            shade = (frame * 25) % 256
            return (shade, 160, 255 - shade) if inside else (224, 224, 224)
        return pixel

    images = [dib(s, s, pixel_for(s)) for s in (32, 16)]
    out = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for size, data in zip((32, 16), images):
        out += struct.pack("<BBBBHHII", size, size, 0, 0, 1, 24, len(data), offset)
        offset += len(data)
    return out + b"".join(images)


def tile(base):
    """A 32x32 background tile: a bevelled square in the base colour."""
    r0, g0, b0 = base

    def pixel(x, y):
        if x == 0 or y == 0:
            return (255, 255, 255)
        if x == 31 or y == 31:
            return (r0 // 2, g0 // 2, b0 // 2)
        return base

    data = dib(32, 32, pixel, mask_rows=False)
    return b"BM" + struct.pack("<IHHI", 14 + len(data), 0, 0, 14 + 40) + data


def picture(width, height, base, band=None):
    """A plain picture with a dark frame; band (colour) fills its lower half."""
    def pixel(x, y):
        if x in (0, width - 1) or y in (0, height - 1):
            return (32, 32, 32)
        if band and y >= height // 2:
            return band
        return base

    data = dib(width, height, pixel, mask_rows=False)
    return b"BM" + struct.pack("<IHHI", 14 + len(data), 0, 0, 14 + 40) + data


# The dialogs' pictures: (resource file, "Test Icon Files" name or None, picture).
DIALOG_PICTURES = [
    ("bitmap2503.bmp", "CORV_ABT.BMP", lambda: picture(120, 60, (200, 210, 230))),
    ("bitmap2505.bmp", "QVR_ABT.BMP", lambda: picture(120, 60, (230, 210, 200))),
    ("bitmap2508.bmp", "ABT_BOX.BMP", lambda: picture(64, 64, (210, 230, 210))),
    # Line control box: one, two and four line boxes; a line up and down (40 x 40).
    ("bitmap2551.bmp", "CTLBOX0.BMP", lambda: picture(94, 92, (204, 204, 204))),
    ("bitmap2550.bmp", "CTLBOX1.BMP", lambda: picture(95, 92, (204, 204, 204))),
    ("bitmap2552.bmp", "CTLBOX4.BMP", lambda: picture(187, 92, (204, 204, 204))),
    ("bitmap2553.bmp", "CTLBOX2.BMP", lambda: picture(40, 40, (0, 176, 0), (96, 96, 96))),
    ("bitmap2554.bmp", "CTLBOX3.BMP", lambda: picture(40, 40, (96, 96, 96), (176, 0, 0))),
]


def main():
    out = sys.argv[1]
    os.makedirs(out, exist_ok=True)
    files = {
        "icon1100.ico": icon(-1), "icon1101.ico": icon(-1), "icon1102.ico": icon(-1),
        "BRELLIX.ICO": icon(-1), "BRELLIXS.ICO": icon(-1), "BRELLIXT.ICO": icon(-1),
        "bitmap2500.bmp": tile((176, 196, 222)), "bitmap2501.bmp": tile((200, 200, 168)),
        "BX_BKGRD.BMP": tile((190, 220, 190)),
    }
    for i in range(10):
        files["icon%d.ico" % (1111 + i)] = icon(i)
        files["BRELLIX%d.ICO" % (i + 1) if i < 9 else "BRELLI10.ICO"] = icon(i)
    for resource, test_name, draw in DIALOG_PICTURES:
        files[resource] = files[test_name] = draw()
    for name in ("ICON_CACHE", "ICON_CACHE2", "ICON_CACHE3", "ICON_CACHEDIR", "ICON_IMPORTDIR",
                 "ICON_CONXTION", "ICON_DIALING", "ICON_DURATION"):
        files[name.lower() + ".ico"] = icon(len(name) % 10)
    for name, data in files.items():
        path = os.path.join(out, name)
        old = None
        if os.path.exists(path):
            with open(path, "rb") as f:
                old = f.read()
        if old != data:
            with open(path, "wb") as f:
                f.write(data)


if __name__ == "__main__":
    main()
