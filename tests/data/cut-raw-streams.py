#!/usr/bin/env python3
# Makes the two CR2 fixtures whose raw data (IFD3's lossless JPEG) ends too early:
# cr2/raw-stream-cut-after-a-length.CR2 and cr2/raw-stream-cut-inside-its-frame.CR2.
# Both are cr2/sensor-size.CR2 with only IFD3's StripByteCounts shortened, so the bytes after the
# cut stream are still its whole frame header: a reader that goes past the stream's end finds a
# valid 2600 x 3500 x 14 frame there. Run from anywhere; the output is the same every time.
import pathlib
import struct

data = pathlib.Path(__file__).resolve().parent / "cr2"
source = (data / "sensor-size.CR2").read_bytes()
ifd = struct.unpack_from("<I", source, 4)[0]
for _ in range(3):  # IFD0 -> IFD1 -> IFD2 -> IFD3
    ifd = struct.unpack_from("<I", source, ifd + 2 + 12 * struct.unpack_from("<H", source, ifd)[0])[0]
entries = range(ifd + 2, ifd + 2 + 12 * struct.unpack_from("<H", source, ifd)[0], 12)
at = next(e + 8 for e in entries if struct.unpack_from("<H", source, e)[0] == 0x0117)  # StripByteCounts
# FF D8, FF C3 and the frame's two length bytes; then three of its twelve payload bytes.
for name, length in [("raw-stream-cut-after-a-length.CR2", 6), ("raw-stream-cut-inside-its-frame.CR2", 9)]:
    cut = bytearray(source)
    struct.pack_into("<I", cut, at, length)
    (data / name).write_bytes(bytes(cut))
