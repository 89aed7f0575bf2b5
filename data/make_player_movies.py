#!/usr/bin/env python3
"""Writes the two player movies installed beside the program: flv_player.swf
and swf_player.swf, the movies the HTML pages beside FLV and SWF outputs
load. Each is a minimal valid uncompressed SWF movie of one frame: a black
320x240 stage with a grey play triangle in the middle. They only mark where
the page's player sits; they hold no script and play nothing themselves.

Run from anywhere: python3 data/make_player_movies.py
"""
import os
import struct


class Bits:
    """Big-endian bit writer for the packed SWF records."""

    def __init__(self):
        self.bits = []

    def unsigned(self, value, count):
        self.bits += [(value >> (count - 1 - i)) & 1 for i in range(count)]

    def signed(self, value, count):
        self.unsigned(value & ((1 << count) - 1), count)

    def bytes(self):
        padded = self.bits + [0] * (-len(self.bits) % 8)
        return bytes(int("".join(map(str, padded[i:i + 8])), 2) for i in range(0, len(padded), 8))


def rect(xmin, xmax, ymin, ymax, nbits=15):
    b = Bits()
    b.unsigned(nbits, 5)
    for v in (xmin, xmax, ymin, ymax):
        b.signed(v, nbits)
    return b.bytes()


def tag(code, body):
    if len(body) < 63:
        return struct.pack("<H", (code << 6) | len(body)) + body
    return struct.pack("<HI", (code << 6) | 0x3F, len(body)) + body


def play_triangle_shape(shape_id):
    """DefineShape: a grey filled triangle pointing right, in twips."""
    bounds = rect(4400, 7600, 3200, 6400)
    fills = bytes([1, 0x00, 0x90, 0x90, 0x90])  # one solid fill, grey
    lines = bytes([0])                            # no line styles
    b = Bits()
    b.unsigned(1, 4)  # fill index bits
    b.unsigned(0, 4)  # line index bits
    # Style change record: move to (4400, 3200), fill style 0 := fill 1.
    b.unsigned(0, 1)
    b.unsigned(0b00011, 5)  # flags: fill style 0 and move to
    b.unsigned(14, 5)
    b.signed(4400, 14)
    b.signed(3200, 14)
    b.unsigned(1, 1)
    # Three straight edges back to the start.
    for dx, dy in ((3200, 1600), (-3200, 1600), (0, -3200)):
        b.unsigned(1, 1)  # edge record
        b.unsigned(1, 1)  # straight
        b.unsigned(14 - 2, 4)  # 14 bits per delta
        if dx and dy:
            b.unsigned(1, 1)  # general line
            b.signed(dx, 14)
            b.signed(dy, 14)
        else:
            b.unsigned(0, 1)
            b.unsigned(1 if dx == 0 else 0, 1)  # vertical when dx is 0
            b.signed(dy if dx == 0 else dx, 14)
    b.unsigned(0, 6)  # end of shape
    return tag(2, struct.pack("<H", shape_id) + bounds + fills + lines + b.bytes())


def place(shape_id, depth):
    """PlaceObject2 with a character and the identity matrix (one zero byte)."""
    return tag(26, bytes([0x06]) + struct.pack("<HH", depth, shape_id) + bytes([0x00]))


def movie(version):
    body = b""
    if version >= 8:
        body += tag(69, struct.pack("<I", 0))       # FileAttributes: no network, no metadata
    body += tag(9, bytes([0, 0, 0]))                # SetBackgroundColor: black
    body += play_triangle_shape(1)
    body += place(1, 1)
    body += tag(1, b"")                             # ShowFrame
    body += tag(0, b"")                             # End
    header_rest = rect(0, 6400, 0, 4800) + struct.pack("<HH", 12 << 8, 1)  # 12 frames/s, 1 frame
    length = 8 + len(header_rest) + len(body)
    return b"FWS" + bytes([version]) + struct.pack("<I", length) + header_rest + body


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    for name, version in (("flv_player.swf", 6), ("swf_player.swf", 8)):
        with open(os.path.join(here, name), "wb") as out:
            out.write(movie(version))


if __name__ == "__main__":
    main()
