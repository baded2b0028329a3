#!/usr/bin/env python3
# Writes the two tiny images the bitmap tests build into their resources.
import struct

def bmp24(w, h, rows):  # rows top-down, each a list of (r, g, b)
    stride = (w * 3 + 3) & ~3
    data = b''
    for row in reversed(rows):
        line = b''.join(struct.pack('BBB', b, g, r) for r, g, b in row)
        data += line + b'\0' * (stride - len(line))
    info = struct.pack('<IiiHHIIiiII', 40, w, h, 1, 24, 0, len(data), 0, 0, 0, 0)
    head = struct.pack('<2sIHHI', b'BM', 14 + 40 + len(data), 0, 0, 54)
    return head + info + data

R, G, B, W = (255, 0, 0), (0, 255, 0), (0, 0, 255), (255, 255, 255)
open('dot.bmp', 'wb').write(bmp24(4, 3, [[R, G, B, W], [W, R, G, B], [B, W, R, G]]))

# 16x16 icon, 1 bit: a filled square in the middle, transparent around it.
xor = b''.join(struct.pack('>I', (0xFF00 if 4 <= y < 12 else 0) << 16 >> 4) for y in range(16))
andm = b''.join(struct.pack('>I', 0xFFFFFFFF if not 4 <= y < 12 else 0xF00FFFFF) for y in range(16))
img = struct.pack('<IiiHHIIiiII', 40, 16, 32, 1, 1, 0, len(xor) + len(andm), 0, 0, 0, 0)
img += struct.pack('<II', 0, 0x00FFFFFF) + xor + andm
icon = struct.pack('<HHH', 0, 1, 1) + struct.pack('<BBBBHHII', 16, 16, 2, 0, 1, 1, len(img), 22) + img
open('dot.ico', 'wb').write(icon)
