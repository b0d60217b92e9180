#!/usr/bin/env python3
"""Checks at configure time that a publisher key is a point of the curve P-256.

    check_publisher_key.py HEX    (X || Y, 128 hex digits)

An installer built with 64 bytes that are no such point would refuse every file it is given: a
typo in a key file must stop the build instead. Exit status 0 for a point of the curve; 1, with
the reason on standard error, for anything else.
"""
import sys

# The curve P-256 (FIPS 186-4, D.1.2.3): y^2 = x^3 - 3x + b over the prime field of p.
P = 2**256 - 2**224 + 2**192 + 2**96 - 1
B = 0x5AC635D8AA3A93E7B3EBBD55769886BC651D06B0CC53B0F63BCE3C3E27D2604B


def main():
    if len(sys.argv) != 2 or len(sys.argv[1]) != 128:
        print("the key must be 128 hex digits", file=sys.stderr)
        return 1
    try:
        x = int(sys.argv[1][:64], 16)
        y = int(sys.argv[1][64:], 16)
    except ValueError:
        print("the key must be 128 hex digits", file=sys.stderr)
        return 1
    if x >= P or y >= P or (y * y - (x * x * x - 3 * x + B)) % P != 0:
        print("the key is no point of the curve P-256: the file was changed after pkgtool keygen wrote it",
              file=sys.stderr)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
