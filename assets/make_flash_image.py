#!/usr/bin/env python3
"""Writes the stand-in flash image: 7,936 chunks of 16 bytes, each chunk starting
with its own index (big-endian, two bytes) followed by 14 bytes of a fixed xorshift
sequence. Every chunk differs from every other, so a chunk written to the wrong place,
twice or not at all shows up when the unit's flash is compared with the image."""
import sys

CHUNKS = 7936  # 248 blocks x 32 chunks
state = 0x2031C0DE


def next_byte():
    global state
    state ^= (state << 13) & 0xFFFFFFFF
    state ^= state >> 17
    state ^= (state << 5) & 0xFFFFFFFF
    return state & 0xFF


image = bytearray()
for chunk in range(CHUNKS):
    image += chunk.to_bytes(2, "big")
    image += bytes(next_byte() for _ in range(14))
assert len(image) == 126976
with open(sys.argv[1] if len(sys.argv) > 1 else "flash_image.bin", "wb") as out:
    out.write(image)
