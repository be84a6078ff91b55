#!/usr/bin/env python3
"""Writes the three sample archives the tool embeds when no real ones are supplied.

  package.zip       resource 203: five directories, 110 .upk packages, two splash images
  patched_data.zip  resource 204: contents/data/config.dat and xml.dat
  stock_data.zip    resource 205: the same two names with other contents

The archives are laid out as the shipped ones are: made on host 0 (FAT view of the attributes),
directories stored with attribute 0x10, files deflated with attribute 0x20, a 36-byte NTFS time
block in every central record and nothing in the local extra fields. The output is a pure
function of the arguments, so a build tree never changes when nothing else did.
"""

import argparse
import os
import random
import struct
import sys
import zlib

DEFAULT_PACKAGE_MB = 3.0
FULL_PACKAGE_MB = 72.0
# Real package files unpack to about 1.6 times their deflated size.
UNPACK_RATIO = 1.6

PACKAGE_DIRS = ["contents/", "contents/bns/", "contents/bns/CookedPC/"]
SPLASH_DIR = "contents/bns/Splash/"
DATA_DIR = "contents/data/"
PACKAGE_COUNT = 110

VERSION_MADE_BY = 0x0014  # host 0 (MS-DOS/FAT), ZIP version 2.0
ATTR_DIRECTORY = 0x10
ATTR_ARCHIVE = 0x20

# 2016-11-08 09:42:16 as the DOS fields store it; every entry gets a time a little after it.
BASE_DOS_DATE = ((2016 - 1980) << 9) | (11 << 5) | 8
BASE_DOS_TIME = (9 << 11) | (42 << 5) | (16 // 2)
FILETIME_UNIX_EPOCH = 116444736000000000


# --- ZIP writing -----------------------------------------------------------------------------

class Entry:
    def __init__(self, name, data=None):
        self.name = name
        self.data = data  # None for a directory
        self.is_dir = data is None


def dos_stamp(serial):
    """A valid DOS date and time, serial * 2 seconds after the base time."""
    seconds = (BASE_DOS_TIME & 0x1F) * 2 + serial * 2
    minutes = ((BASE_DOS_TIME >> 5) & 0x3F) + seconds // 60
    hours = (BASE_DOS_TIME >> 11) + minutes // 60
    time = (hours % 24 << 11) | (minutes % 60 << 5) | (seconds % 60 // 2)
    return BASE_DOS_DATE, time


def filetime_of(date, time):
    """The DOS fields read as UTC, as a FILETIME (what the NTFS block would hold on a UTC machine)."""
    import calendar
    unix = calendar.timegm((1980 + (date >> 9), (date >> 5) & 0xF, date & 0x1F,
                            time >> 11, (time >> 5) & 0x3F, (time & 0x1F) * 2, 0, 0, 0))
    return unix * 10_000_000 + FILETIME_UNIX_EPOCH


def ntfs_extra(filetime):
    # id 0x000A, 32 bytes: 4 reserved, attribute tag 1 of 24 bytes: mtime, atime, ctime.
    return struct.pack("<HHIHHQQQ", 0x000A, 32, 0, 0x0001, 24, filetime, filetime, filetime)


def deflate_raw(data):
    compressor = zlib.compressobj(6, zlib.DEFLATED, -15, 8, zlib.Z_DEFAULT_STRATEGY)
    return compressor.compress(data) + compressor.flush()


def write_zip(path, entries, mangle=None):
    """Writes entries in order. mangle(index, local_header) may alter a local header (test archives)."""
    out = bytearray()
    central = bytearray()
    for index, entry in enumerate(entries):
        name = entry.name.encode("utf-8")
        date, time = dos_stamp(index)
        if entry.is_dir:
            method, version_needed, payload, crc, size = 0, 10, b"", 0, 0
            attributes = ATTR_DIRECTORY
        else:
            method, version_needed = 8, 20
            payload = deflate_raw(entry.data)
            crc, size = zlib.crc32(entry.data), len(entry.data)
            attributes = ATTR_ARCHIVE
        offset = len(out)
        local = bytearray(struct.pack("<IHHHHHIIIHH", 0x04034B50, version_needed, 0, method, time, date,
                                      crc, len(payload), size, len(name), 0))
        if mangle is not None:
            mangle(index, local)
        out += local + name + payload
        extra = ntfs_extra(filetime_of(date, time))
        central += struct.pack("<IHHHHHHIIIHHHHHII", 0x02014B50, VERSION_MADE_BY, version_needed, 0, method,
                               time, date, crc, len(payload), size, len(name), len(extra), 0, 0, 0,
                               attributes, offset)
        central += name + extra
    central_offset = len(out)
    out += central
    out += struct.pack("<IHHHHIIH", 0x06054B50, 0, 0, len(entries), len(entries), len(central),
                       central_offset, 0)
    tmp = path + ".tmp"
    with open(tmp, "wb") as f:
        f.write(out)
    os.replace(tmp, path)  # a build interrupted midway never leaves a truncated archive behind


# --- Content ---------------------------------------------------------------------------------

# Eight symbols: a run of these deflates to about 3/8 of its size.
_LOW_ENTROPY = bytes((b % 8) * 17 + 3 for b in range(256))


def semi_compressible(rng, size):
    """Random bytes, back-references inside the 32 KiB window and low-entropy runs, mixed so
    that deflate reaches about UNPACK_RATIO, with matches and literals interleaved as in real data."""
    out = bytearray()
    while len(out) < size:
        n = rng.randint(24, 600)
        pick = rng.random()
        if pick < 0.46 or len(out) < 1024:
            out += rng.randbytes(n)
        elif pick < 0.82:
            distance = rng.randint(n, min(len(out), 32768))
            start = len(out) - distance
            out += out[start:start + n]
        else:
            out += rng.randbytes(n).translate(_LOW_ENTROPY)
    del out[size:]
    return bytes(out)


def bmp_image(rng, width, height):
    """A 24-bit bottom-up BMP: a gradient with a little noise, as a splash screen might be."""
    row_bytes = (width * 3 + 3) & ~3
    pixels = bytearray()
    for y in range(height):
        noise = rng.randbytes(width)
        row = bytearray()
        for x in range(width):
            row += bytes(((x * 255 // width) ^ (noise[x] & 7), (y * 255 // height), (noise[x] >> 3) & 0x3F))
        row += b"\0" * (row_bytes - len(row))
        pixels += row
    header = struct.pack("<2sIHHI", b"BM", 54 + len(pixels), 0, 0, 54)
    info = struct.pack("<IiiHHIIiiII", 40, width, height, 1, 24, 0, len(pixels), 2835, 2835, 0, 0)
    return header + info + bytes(pixels)


def package_sizes(rng, total):
    """110 sizes adding up to total: a few large packages and many small ones."""
    weights = [rng.lognormvariate(0.0, 1.3) for _ in range(PACKAGE_COUNT)]
    scale = total / sum(weights)
    sizes = [max(1024, int(w * scale)) for w in weights]
    sizes[-1] = max(1024, sizes[-1] + total - sum(sizes))
    return sizes


def package_names(rng):
    numbers = sorted(rng.sample(range(1, 100000), PACKAGE_COUNT))
    return ["%08d.upk" % n for n in numbers]


def package_entries(package_mb, seed):
    rng = random.Random(seed)
    total = int(package_mb * UNPACK_RATIO * 1024 * 1024)
    entries = [Entry(name) for name in PACKAGE_DIRS]
    for name, size in zip(package_names(rng), package_sizes(rng, total)):
        entries.append(Entry(PACKAGE_DIRS[-1] + name, semi_compressible(rng, size)))
    entries.append(Entry(SPLASH_DIR))
    entries.append(Entry(SPLASH_DIR + "EdSplash.bmp", bmp_image(rng, 320, 200)))
    entries.append(Entry(SPLASH_DIR + "Splash.bmp", bmp_image(rng, 400, 240)))
    entries.append(Entry(DATA_DIR))
    return entries


def data_entries(seed, config_size, xml_size):
    rng = random.Random(seed)
    return [Entry("contents/"), Entry(DATA_DIR),
            Entry(DATA_DIR + "config.dat", semi_compressible(rng, config_size)),
            Entry(DATA_DIR + "xml.dat", semi_compressible(rng, xml_size))]


def main(argv):
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--out-dir", required=True)
    size = parser.add_mutually_exclusive_group()
    size.add_argument("--package-mb", type=float, default=DEFAULT_PACKAGE_MB,
                      help="deflated size of the package archive in MiB (default %(default)s)")
    size.add_argument("--full", action="store_const", dest="package_mb", const=FULL_PACKAGE_MB,
                      help="a full-size package archive (%s MiB)" % FULL_PACKAGE_MB)
    parser.add_argument("--only", choices=["package", "patched", "stock"], action="append",
                        help="write only the named archives")
    parser.add_argument("--seed", type=int, default=20161108)
    args = parser.parse_args(argv)

    os.makedirs(args.out_dir, exist_ok=True)
    wanted = set(args.only or ["package", "patched", "stock"])
    if "package" in wanted:
        write_zip(os.path.join(args.out_dir, "package.zip"), package_entries(args.package_mb, args.seed))
    if "patched" in wanted:
        write_zip(os.path.join(args.out_dir, "patched_data.zip"), data_entries(args.seed + 204, 23_000, 181_000))
    if "stock" in wanted:
        write_zip(os.path.join(args.out_dir, "stock_data.zip"), data_entries(args.seed + 205, 21_500, 167_000))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
