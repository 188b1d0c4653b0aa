#!/usr/bin/env python3
"""Writes the broken texture and Targa files of this folder; test_malformed_files.cpp lists
what each must fail with. Run from anywhere: python3 make_malformed.py"""
import os
import struct

HERE = os.path.dirname(os.path.abspath(__file__))


def bmp(width=4, height=4, bits=24, compression=0, info_size=40, offset=None, colours=0,
        extra=b"", pixels=None, magic=b"BM"):
    """A bitmap with a 40-byte (or longer) info header; fields as given, not as they should be."""
    if pixels is None:
        stride = (abs(width) * bits + 31) // 32 * 4 if 0 < abs(width) < 100 else 4
        pixels = bytes(stride * min(abs(height), 100))
    if offset is None:
        offset = 14 + info_size + len(extra)
    info = struct.pack("<IiiHHIIiiII", info_size, width, height, 1, bits, compression,
                       len(pixels), 0, 0, colours, 0)
    info += bytes(max(0, info_size - 40))
    header = magic + struct.pack("<IHHI", 14 + len(info) + len(extra) + len(pixels), 0, 0, offset)
    return header + info + extra + pixels


def fourcc(text):
    return struct.unpack("<I", text.encode())[0]


def fs70():
    return b"FS70" + struct.pack("<I", 20) + bytes([3, 2]) + bytes(4) + struct.pack("<H", 8) + bytes(4)


def tga(width=2, height=2, image_type=2, depth=32, colour_map=0, pixels=None):
    if pixels is None:
        pixels = bytes(width * height * max(depth, 8) // 8)
    return struct.pack("<BBBHHBHHHHBB", 0, colour_map, image_type, 0, 0, 0, 0, 0, width, height,
                       depth, 0x08) + pixels


def dxt1_256(blocks):
    return bmp(256, 256, 16, fourcc("DXT1"), extra=fs70(), pixels=bytes(8 * blocks))


FILES = {
    "empty.bmp": b"",
    "wrong_magic.bmp": bmp(magic=b"BA"),
    "targa_given_as_texture.bmp": tga(),
    "truncated_file_header.bmp": bmp()[:9],
    "truncated_info_header.bmp": bmp()[:30],
    "truncated_dxt1_top_level.bmp": dxt1_256(4096)[:74 + 20000],
    "truncated_24bit_pixels.bmp": bmp(4, 4)[:54 + 40],
    "offset_inside_headers.bmp": bmp(offset=30),
    "offset_past_end.bmp": bmp(offset=0xFFFFFFF0),
    "width_zero.bmp": bmp(width=0),
    "height_zero.bmp": bmp(height=0),
    "width_8193.bmp": bmp(width=8193, height=1),
    "height_most_negative.bmp": bmp(height=-0x80000000),
    "width_overflowing_32bit_size.bmp": bmp(width=0x7FFFFFFF, height=0x7FFFFFFF, bits=32),
    "depth_4.bmp": bmp(bits=4, colours=16, extra=bytes(64)),
    "depth_1.bmp": bmp(bits=1, colours=2, extra=bytes(8)),
    "depth_48.bmp": bmp(bits=48),
    "compression_rle8.bmp": bmp(bits=8, compression=1, extra=bytes(1024)),
    "compression_dxt2.bmp": bmp(bits=16, compression=fourcc("DXT2")),
    "bitfields_24bit.bmp": bmp(bits=24, compression=3, extra=struct.pack("<III", 0xFF0000, 0xFF00, 0xFF)),
    "bitfields_overlapping_masks.bmp": bmp(bits=16, compression=3,
                                           extra=struct.pack("<III", 0xF800, 0x0FE0, 0x001F)),
    "bitfields_masks_missing.bmp": bmp(bits=16, compression=3, offset=54 + 8),
    "os2_core_header.bmp": bmp(info_size=12),
    "palette_too_many_colours.bmp": bmp(bits=8, colours=1000, extra=bytes(1024)),
    "palette_index_outside.bmp": bmp(bits=8, colours=2, extra=bytes(8), pixels=bytes([0, 1, 5, 0]) + bytes(12)),
    "palette_past_pixel_offset.bmp": bmp(bits=8, colours=256, extra=bytes(16)),
    "tga_empty.tga": b"",
    "tga_truncated_header.tga": tga()[:10],
    "tga_truncated_pixels.tga": tga(16, 16)[:18 + 100],
    "tga_run_length.tga": tga(image_type=10),
    "tga_colour_mapped.tga": tga(image_type=1, depth=8, colour_map=1),
    "tga_16bit.tga": tga(depth=16),
    "tga_unknown_type.tga": tga(image_type=77),
    "tga_width_zero.tga": tga(width=0),
    "tga_width_9000.tga": tga(width=9000, height=1, pixels=bytes(8)),
    "bitmap_given_as_targa.tga": bmp(),
}

if __name__ == "__main__":
    for name, data in FILES.items():
        with open(os.path.join(HERE, name), "wb") as f:
            f.write(data)
