#!/usr/bin/env python3
"""png_check.py FILE: exits 0 when FILE is a whole PNG image: the signature, an
IHDR of a non-empty image first, every chunk's CRC right, IDAT data that
inflates to the size the header gives, and IEND last."""
import struct
import sys
import zlib

try:
    data = open(sys.argv[1], 'rb').read()
except OSError as error:
    sys.exit(str(error))
if data[:8] != b'\x89PNG\r\n\x1a\n':
    sys.exit('%s: no PNG signature' % sys.argv[1])
pos, chunks, idat = 8, [], b''
while pos + 12 <= len(data):
    length, kind = struct.unpack('>I4s', data[pos:pos + 8])
    if pos + 12 + length > len(data):
        sys.exit('%s: truncated in %s' % (sys.argv[1], kind))
    body = data[pos + 8:pos + 8 + length]
    crc, = struct.unpack('>I', data[pos + 8 + length:pos + 12 + length])
    if zlib.crc32(kind + body) != crc:
        sys.exit('%s: bad CRC in %s' % (sys.argv[1], kind))
    chunks.append((kind, body))
    idat += body if kind == b'IDAT' else b''
    pos += 12 + length
if not chunks or chunks[0][0] != b'IHDR' or chunks[-1][0] != b'IEND' or pos != len(data):
    sys.exit('%s: chunks out of order or trailing data' % sys.argv[1])
width, height, depth, colour = struct.unpack('>IIBB', chunks[0][1][:10])
channels = {0: 1, 2: 3, 3: 1, 4: 2, 6: 4}[colour]
row = 1 + (width * channels * depth + 7) // 8
if width == 0 or height == 0 or len(zlib.decompress(idat)) != row * height:
    sys.exit('%s: image data does not match %dx%d' % (sys.argv[1], width, height))
