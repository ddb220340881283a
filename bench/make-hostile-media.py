#!/usr/bin/env python3
"""Writes small files made to cost a decoder much: huge canvases, many frames, costly disposal.
Usage: make-hostile-media.py FOLDER"""
import struct
import sys
import zlib
from pathlib import Path


def png_chunk(kind, body):
    return struct.pack(">I", len(body)) + kind + body + struct.pack(">I", zlib.crc32(kind + body))


def apng(width, height, frames, idat_rows=True):
    out = b"\x89PNG\r\n\x1a\n"
    out += png_chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 6, 0, 0, 0))
    out += png_chunk(b"acTL", struct.pack(">II", frames, 0))
    seq = 0
    for i in range(frames):
        w, h = (width, height) if i == 0 else (1, 1)
        out += png_chunk(b"fcTL", struct.pack(">IIIIIHHBB", seq, w, h, 0, 0, 1, 10, 0, 0))
        seq += 1
        if i == 0:
            if idat_rows:
                raw = zlib.compressobj(9)
                data = b""
                row = b"\0" * (1 + 4 * width)
                for _ in range(height):
                    data += raw.compress(row)
                data += raw.flush()
            else:
                data = zlib.compress(b"\0" * 5)
            out += png_chunk(b"IDAT", data)
        else:
            out += png_chunk(b"fdAT", struct.pack(">I", seq) + zlib.compress(b"\0\xff\0\0\xff"))
            seq += 1
    return out + png_chunk(b"IEND", b"")


def riff(kind, body):
    return kind + struct.pack("<I", len(body)) + body + (b"\0" if len(body) % 2 else b"")


VP8L_1X1 = bytes.fromhex("2f000000000710fd8ffe0722a2ff01")


def webp(width, height, frames, ms):
    u24 = lambda v: struct.pack("<I", v)[:3]
    body = b"WEBP" + riff(b"VP8X", b"\x02\0\0\0" + u24(width - 1) + u24(height - 1))
    body += riff(b"ANIM", b"\0" * 6)
    for i in range(frames):
        x = (i * 37) % (width // 2)
        body += riff(b"ANMF", u24(x) + u24(x) + u24(0) + u24(0) + u24(ms) + b"\0" +
                     riff(b"VP8L", VP8L_1X1))
    return b"RIFF" + struct.pack("<I", len(body)) + body


def gif(width, height, frames, disposal, frame_size=1):
    out = b"GIF89a" + struct.pack("<HHBBB", width, height, 0xF1, 0, 0)
    out += b"\0\0\0\xff\xff\xff\0\0\0\0\0\0"  # four colours
    # One pixel of colour 1 repeated: clear, then codes, then end; LZW min code size 2.
    pixels = frame_size * frame_size
    bits, count, data, width_bits, nxt = 0, 0, bytearray(), 3, 6
    def put(code):
        nonlocal bits, count
        bits |= code << count
        count += width_bits
        while count >= 8:
            data.append(bits & 0xFF)
            bits >>= 8
            count -= 8
    put(4)
    for _ in range(pixels):  # no string reuse: simple and valid
        put(1)
        if nxt < 4096:
            nxt += 1
            if nxt - 1 == (1 << width_bits) and width_bits < 12:
                width_bits += 1
    put(5)
    if count:
        data.append(bits & 0xFF)
    blocks = b"".join(bytes([len(data[i:i + 255])]) + data[i:i + 255]
                      for i in range(0, len(data), 255)) + b"\0"
    frame = (b"\x21\xf9\x04" + bytes([disposal << 2]) + b"\x0a\0\0\0" +
             b"\x2c" + struct.pack("<HHHHB", 0, 0, frame_size, frame_size, 0) + b"\x02" + blocks)
    return out + frame * frames + b"\x3b"


def main():
    folder = Path(sys.argv[1])
    folder.mkdir(parents=True, exist_ok=True)
    (folder / "apng-huge-canvas.png").write_bytes(apng(16384, 16384, 2, idat_rows=False))
    (folder / "apng-large-canvas.png").write_bytes(apng(11000, 11000, 1000))
    (folder / "webp-4000-1000-frames.webp").write_bytes(webp(4000, 4000, 1000, 40))
    (folder / "gif-8192-restore-previous.gif").write_bytes(gif(8192, 8192, 2000, 3))
    (folder / "gif-8192-full-frames.gif").write_bytes(gif(8192, 8192, 3, 3, frame_size=2048))
    (folder / "gif-1m-frames.gif").write_bytes(gif(1, 1, 1_000_000, 1))


if __name__ == "__main__":
    main()
