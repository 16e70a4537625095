#!/usr/bin/env python3
"""Makes a 255-block land (the most a land addresses) from lndtool's 225-block sample island:
the island's west and east columns of blocks are copied one square further out.

usage: bench/land255.py ISLAND.lnd OUT.lnd   (ISLAND.lnd from `lndtool new --size 15`)
"""
import struct
import sys

HEADER, LORES, BLOCK = 1052, 65680, 2520


def main(src, dst):
    data = bytearray(open(src, 'rb').read())
    stored = struct.unpack_from('<i', data, 0)[0]
    records = stored - 1
    lores = struct.unpack_from('<I', data, 1048)[0]
    index = data[4:1028]
    blocks_at = HEADER + LORES * lores
    tail_at = blocks_at + BLOCK * records
    xs = [gx for gx in range(32) for gz in range(32) if index[32 * gx + gz]]
    west, east = min(xs), max(xs)
    if records != 225 or west == 0 or east == 31:
        sys.exit('expected a 225-block island with free columns on both sides')
    added = bytearray()
    number = records
    for from_x, to_x in ((west, west - 1), (east, east + 1)):
        for gz in range(32):
            n = index[32 * from_x + gz]
            if not n:
                continue
            block = bytearray(data[blocks_at + BLOCK * (n - 1):blocks_at + BLOCK * n])
            number += 1
            struct.pack_into('<i', block, 2312, number)          # BlockNumber
            struct.pack_into('<f', block, 2316, 160.0 * to_x)    # MapX
            struct.pack_into('<i', block, 2324, to_x)            # GridX
            data[4 + 32 * to_x + gz] = number
            added += block
    if number != 255:
        sys.exit('made %d blocks, not 255' % number)
    struct.pack_into('<i', data, 0, number + 1)
    out = data[:tail_at] + added + data[tail_at:]
    open(dst, 'wb').write(out)


if __name__ == '__main__':
    if len(sys.argv) != 3:
        sys.exit(__doc__)
    main(sys.argv[1], sys.argv[2])
