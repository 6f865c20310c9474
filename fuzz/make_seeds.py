#!/usr/bin/env python3
"""Writes the small seed inputs of the fuzz targets into fuzz/corpus/<target>/.

The seeds are built here from a few fax pages (an all-white Group 4 page, a modified Huffman
page, an uncompressed bilevel TIFF) and from the start of the sample files, each a few KB, with
the option bytes each target reads first. fuzz_readers keeps its own seeds.
Run from anywhere: python3 fuzz/make_seeds.py
"""
import os
import struct

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
CORPUS = os.path.join(ROOT, "fuzz", "corpus")


def sample(name, limit=None):
    with open(os.path.join(ROOT, "samples", name), "rb") as f:
        data = f.read()
    return data[:limit] if limit else data


def bits_to_bytes(bits):
    bits += "0" * (-len(bits) % 8)
    return bytes(int(bits[i:i + 8], 2) for i in range(0, len(bits), 8))


EOL = "000000000001"
# Modified Huffman row of 1728 white: make-up 1728, terminating white 0.
MH_WHITE_1728 = "010011011" + "00110101"
# Row of 64: white 32 (00011011), black 32 (000001101010).
MH_HALF_64 = "00011011" + "000001101010"


def mh_page(row, rows):
    return bits_to_bytes((EOL + row) * rows + EOL * 6)


def g4_white(rows):
    # Each white row is one vertical-0 code against the white reference row, then EOFB.
    return bits_to_bytes("1" * rows + EOL + EOL)


def tiff(width, length, compression, strip, extra=()):
    """A little-endian single-strip bilevel TIFF."""
    entries = [
        (256, 3, 1, width), (257, 3, 1, length), (258, 3, 1, 1), (259, 3, 1, compression),
        (262, 3, 1, 0), (266, 3, 1, 1), (273, 4, 1, 0), (277, 3, 1, 1), (278, 3, 1, length),
        (279, 4, 1, len(strip)), (282, 5, 1, 0), (283, 5, 1, 0), (296, 3, 1, 2),
    ] + list(extra)
    entries.sort()
    ifd_offset = 8
    ifd_size = 2 + 12 * len(entries) + 4
    rational_offset = ifd_offset + ifd_size
    strip_offset = rational_offset + 16
    out = bytearray(b"II*\0" + struct.pack("<I", ifd_offset))
    out += struct.pack("<H", len(entries))
    for tag, typ, count, value in entries:
        if tag == 273:
            value = strip_offset
        elif tag == 282:
            value = rational_offset
        elif tag == 283:
            value = rational_offset + 8
        if typ == 3:
            out += struct.pack("<HHIHH", tag, typ, count, value, 0)
        else:
            out += struct.pack("<HHII", tag, typ, count, value)
    out += struct.pack("<I", 0)
    out += struct.pack("<IIII", 204, 1, 196, 1)
    out += strip
    return bytes(out)


def shortened(tiff_bytes, rows):
    """The little-endian TIFF with every page's ImageLength and RowsPerStrip set to `rows`.

    The strips keep all their coded rows; readers stop after `rows`, so a seed of a real letter
    costs a fuzzer a few hundred rows per input instead of two full pages."""
    out = bytearray(tiff_bytes)
    offset = struct.unpack_from("<I", out, 4)[0]
    while offset:
        count = struct.unpack_from("<H", out, offset)[0]
        for i in range(count):
            entry = offset + 2 + 12 * i
            tag, typ = struct.unpack_from("<HH", out, entry)
            if tag in (257, 278) and typ == 3:
                struct.pack_into("<H", out, entry + 8, rows)
            elif tag in (257, 278) and typ == 4:
                struct.pack_into("<I", out, entry + 8, rows)
        offset = struct.unpack_from("<I", out, offset + 2 + 12 * count)[0]
    return bytes(out)


def write(target, name, data):
    directory = os.path.join(CORPUS, target)
    os.makedirs(directory, exist_ok=True)
    with open(os.path.join(directory, name), "wb") as f:
        f.write(data)


def main():
    memo = sample("memo.g3", 3072)
    # The raw analysis runs several passes over all of its input: its seeds are the first KB.
    memo_head = memo[:1024]
    # The letter's text starts about 100 rows down; 128 rows keep the first lines of it.
    letter = shortened(sample("letter.tif"), 128)
    mh = mh_page(MH_WHITE_1728, 8)
    mh64 = mh_page(MH_HALF_64, 8)
    g4 = g4_white(16)
    raw_rows = bytes([0xAA, 0x55] * 4) * 8  # 64 x 8 checker, uncompressed

    tiffs = {
        "g4_white.tif": tiff(1728, 16, 4, g4),
        "mh_white.tif": tiff(1728, 8, 2, mh_page(MH_WHITE_1728, 8)[2:]),
        "g3_white.tif": tiff(1728, 8, 3, mh, [(292, 4, 1, 0)]),
        "plain_64.tif": tiff(64, 8, 1, raw_rows),
        "letter.tif": letter,
    }
    for name, data in tiffs.items():
        write("fuzz_tiff_reader", name, data)
        # The copy target's low size bit picks the compression choice; seed both.
        write("fuzz_tiff_copy_pdf", name, data)
        write("fuzz_tiff_copy_pdf", "odd_" + name, data + b"\0" if len(data) % 2 == 0 else data)

    # Decoders: option byte, width (two bytes), row limit, then the coded data.
    write("fuzz_decode_t4", "mh_1728", bytes([0x80 | 3, 0x06, 0xC0, 8]) + mh)
    write("fuzz_decode_t4", "t4_1728", bytes([0x80 | 4, 0x06, 0xC0, 8]) + mh)
    write("fuzz_decode_t4", "mh_64", bytes([3, 0, 64, 8]) + mh64)
    write("fuzz_decode_t4", "memo", bytes([0x80 | 4, 0x06, 0xC0, 63]) + memo)
    write("fuzz_decode_t6", "g4_white", bytes([0x80, 0x06, 0xC0, 16]) + g4)
    write("fuzz_decode_t6", "letter", bytes([0x80, 0x06, 0xC0, 63]) + letter[8:8 + 3072])

    # Group 4 round trip: option byte, width (two bytes), then the page's rows.
    glyphs = bytes([0x00] * 18 + [0x3C, 0x66, 0x7E, 0x00, 0x18, 0xFF, 0x81, 0x00] * 24 + [0x00] * 6)
    text = b"".join(glyphs[i:] + glyphs[:i] for i in (0, 0, 1, 1, 2, 8, 8, 0))
    write("fuzz_encode_t6", "text_1728", bytes([0x81, 0x06, 0xC0]) + text)
    write("fuzz_encode_t6", "checker_13", bytes([0x03, 0x00, 12]) + bytes([0xAA, 0x50, 0, 0x55, 0xA8, 0]) * 4)
    write("fuzz_encode_t6", "white_is_one_64", bytes([0x00, 0x00, 63]) + bytes([0xFF] * 8 + [0xF0, 0x0F] * 4) * 3)

    # Probes: probe choice, rows required, coded data.
    for which in range(8):
        data = g4 if which in (4, 5, 7) else mh
        write("fuzz_probes", "probe%d" % which, bytes([which, 3]) + data)
    write("fuzz_probes", "memo", bytes([6, 4]) + memo)

    # Raw analysis: option byte, then the raw fax data.
    write("fuzz_raw_analysis", "memo", bytes([0x00]) + memo_head)
    write("fuzz_raw_analysis", "memo_lsb", bytes([0x01]) + memo_head)
    write("fuzz_raw_analysis", "mh", bytes([0x00]) + mh)
    write("fuzz_raw_analysis", "g4_flagless", bytes([0x08]) + g4)
    write("fuzz_raw_analysis", "mh64_narrow", bytes([0x14]) + mh64)

    # Whole conversion: suffix byte, then the file. The byte indexes the target's name list: 0 a
    # raw name, then the endings of the format table in its order (15 ".FMF", 23 ".tif",
    # 25 ".G3N").
    convert = "fuzz_convert_file"
    write(convert, "tif", bytes([23]) + tiffs["g4_white.tif"])
    write(convert, "letter", bytes([23]) + letter)
    write(convert, "raw", bytes([0]) + memo_head)
    write(convert, "fmf", bytes([15]) + mh)
    write(convert, "g3n", bytes([25]) + tiffs["g3_white.tif"])


if __name__ == "__main__":
    main()
