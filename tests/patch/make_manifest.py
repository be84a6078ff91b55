#!/usr/bin/env python3
"""Writes a C++ header listing what every entry of the given archives unpacks to (name, size,
CRC-32), read from their central directories by an independent ZIP reader, so that the tests
can check installed files against it whatever archives the build embeds."""

import argparse
import os
import sys
import zipfile


def entries_of(path):
    with zipfile.ZipFile(path) as archive:
        for info in archive.infolist():
            yield info.filename, info.is_dir(), info.file_size, info.CRC


def main(argv):
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--out", required=True)
    parser.add_argument("archives", nargs="+", metavar="NAME=ZIP", help="C++ array name and archive")
    args = parser.parse_args(argv)

    lines = ["// Generated from the archives this test executable embeds; do not edit.",
             "#pragma once", '#include "tests/patch/manifest.h"', "", "namespace patchtest {", ""]
    for pair in args.archives:
        name, path = pair.split("=", 1)
        lines.append("inline constexpr ManifestEntry %s[] = {" % name)
        for entry, is_dir, size, crc in entries_of(path):
            escaped = entry.replace("\\", "\\\\").replace('"', '\\"')
            lines.append('    {"%s", %s, %du, 0x%08Xu},' % (escaped, "true" if is_dir else "false", size, crc))
        lines.append("};")
        lines.append("")
    lines.append("}  // namespace patchtest")
    text = "\n".join(lines) + "\n"
    os.makedirs(os.path.dirname(os.path.abspath(args.out)), exist_ok=True)
    if os.path.exists(args.out) and open(args.out, encoding="utf-8").read() == text:
        return 0
    with open(args.out, "w", encoding="utf-8") as f:
        f.write(text)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
