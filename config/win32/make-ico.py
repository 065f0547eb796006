#!/usr/bin/env python3
# Packs PNG images into one .ico file (PNG-compressed entries, as Windows Vista
# and later and Wine read them): make-ico.py OUT.ico IN.png...
import struct
import sys

out, images = sys.argv[1], sys.argv[2:]
entries, blobs = [], []
offset = 6 + 16 * len(images)
for name in images:
    data = open(name, "rb").read()
    if data[:8] != b"\x89PNG\r\n\x1a\n":
        sys.exit(f"{name}: not a PNG file")
    width, height = struct.unpack(">II", data[16:24])
    entries.append(struct.pack("<BBBBHHII", width % 256, height % 256, 0, 0, 1, 32,
                               len(data), offset))
    blobs.append(data)
    offset += len(data)
with open(out, "wb") as f:
    f.write(struct.pack("<HHH", 0, 1, len(images)))
    f.writelines(entries)
    f.writelines(blobs)
