#!/usr/bin/env python3
"""Writes a package archive with entries the patcher must refuse between good ones: a local
header that disagrees with its central record, a name that climbs above the game directory and
a name with a stream colon. The good entries around them must still be installed."""

import os
import random
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "tools"))
import make_sample_archives as samples  # noqa: E402

LOCAL_METHOD_OFFSET = 8


def main(argv):
    if len(argv) != 1:
        print("usage: make_faulty_archive.py OUT.zip", file=sys.stderr)
        return 2
    rng = random.Random(203)
    data = lambda size: samples.semi_compressible(rng, size)  # noqa: E731
    entries = [
        samples.Entry("contents/"),
        samples.Entry("contents/bns/CookedPC/00000001.upk", data(40000)),
        samples.Entry("contents/bns/CookedPC/00000002.upk", data(30000)),
        samples.Entry("contents/../../escape.upk", data(1000)),
        samples.Entry("contents/bns/CookedPC/00000003.upk:stream", data(1000)),
        samples.Entry("contents/bns/CookedPC/00000004.upk", data(50000)),
    ]

    def corrupt_second(index, local):
        if index == 2:
            local[LOCAL_METHOD_OFFSET:LOCAL_METHOD_OFFSET + 2] = b"\x00\x00"  # stored, central says deflated

    samples.write_zip(argv[0], entries, mangle=corrupt_second)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
