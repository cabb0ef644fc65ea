#!/usr/bin/env python3
"""Moves the PE header of an executable to a given file offset.

The package format keeps its package end pointer in bytes 248..255 of the
file, the last 8 bytes of the DOS area, so the stub's PE header must begin at
offset 256. GNU ld writes it at 0x80; this step moves the PE signature, the
file header, the optional header and the section table to the new offset and
updates e_lfanew. It fails, leaving the file untouched, when the moved headers
would not fit before the first section's data.
"""
import struct
import sys


def main():
    if len(sys.argv) != 3:
        sys.exit("usage: pe_move_header.py FILE OFFSET")
    path, new = sys.argv[1], int(sys.argv[2], 0)
    data = bytearray(open(path, "rb").read())
    if data[:2] != b"MZ":
        sys.exit(f"{path}: not an MZ executable")
    old = struct.unpack_from("<I", data, 0x3C)[0]
    if data[old:old + 4] != b"PE\0\0":
        sys.exit(f"{path}: no PE signature at e_lfanew {old:#x}")
    if old == new:
        return
    nsections, = struct.unpack_from("<H", data, old + 6)
    opt_size, = struct.unpack_from("<H", data, old + 20)
    opt = old + 24
    size_of_headers, = struct.unpack_from("<I", data, opt + 60)
    length = 24 + opt_size + 40 * nsections
    if new < 0x40 or new % 8:
        sys.exit(f"{path}: offset {new:#x} must be 8-aligned and after the DOS header")
    if new + length > size_of_headers:
        sys.exit(f"{path}: headers ({length} bytes) do not fit between {new:#x} and {size_of_headers:#x}")
    # The bytes the moved headers will cover must be padding.
    if new > old and any(data[old + length:new + length]):
        sys.exit(f"{path}: data follows the section table; cannot move the headers")
    block = bytes(data[old:old + length])
    data[old:old + length] = bytes(length)
    data[new:new + length] = block
    struct.pack_into("<I", data, 0x3C, new)
    # The optional header's checksum is not verified for executables; clear
    # it rather than leave a stale value.
    struct.pack_into("<I", data, new + 24 + 64, 0)
    # The package end pointer (bytes 248..255) starts out as 0: no package.
    if new >= 256:
        data[248:256] = bytes(8)
    open(path, "wb").write(data)


if __name__ == "__main__":
    main()
