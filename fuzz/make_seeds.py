#!/usr/bin/env python3
"""Regenerates the small seed corpora in fuzz/corpus/ (run by hand; the files are kept in git).

  archive_walk/, archive_extract/  a few crafted archives from tests/malformed/make_malformed.py
                                   and a small archive in the embedded archives' layout
  notice/                          update notices: a code-page byte, then the response body
"""

import importlib.util
import os
import shutil
import sys
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(HERE)


def load(path, name):
    module_spec = importlib.util.spec_from_file_location(name, os.path.join(ROOT, path))
    module = importlib.util.module_from_spec(module_spec)
    module_spec.loader.exec_module(module)
    return module


def archive_seeds(out):
    malformed = load("tests/malformed/make_malformed.py", "make_malformed")
    for name, data, _ in malformed.cases():
        if name in malformed.SEEDS:
            write(os.path.join(out, name + ".zip"), data)
    samples = load("tools/make_sample_archives.py", "make_sample_archives")
    entries = samples.data_entries(1, 300, 700)
    with tempfile.TemporaryDirectory() as tmp:
        path = os.path.join(tmp, "data.zip")
        samples.write_zip(path, entries)
        with open(path, "rb") as f:
            write(os.path.join(out, "sample_layout.zip"), f.read())


# The fuzzer maps the first byte to a code page: 0 UTF-8, 1 UTF-16LE, 2 UTF-16BE, 3 ANSI.
NOTICES = {
    "newer_version": b"\x00" + b"1.0.4|http://example.invalid/Morvelt.zip",
    "same_version": b"\x00" + b"1.0.3|http://example.invalid/Morvelt.zip",
    "byte_order_mark_capital_scheme": b"\x00" + b"\xef\xbb\xbf1.0.4|HTTP://example.invalid/x\r\n",
    "other_scheme": b"\x00" + b"1.0.2|ftp://example.invalid/x",
    "bar_first": b"\x00" + b"|http://example.invalid/",
    "zero_byte_inside": b"\x00" + b"1.0.4|http://a\x00b",
    "utf16le": b"\x01" + "1.0.4|http://例.invalid/".encode("utf-16-le"),
    "utf16be_odd_length": b"\x02" + "1.0.4|http://x/".encode("utf-16-be") + b"\x41",
    "ansi": b"\x03" + "1.0.4|http://例.invalid/".encode("utf-8"),
}


def write(path, data):
    with open(path, "wb") as f:
        f.write(data)


def main():
    corpus = os.path.join(HERE, "corpus")
    for target in ("archive_walk", "archive_extract", "notice"):
        shutil.rmtree(os.path.join(corpus, target), ignore_errors=True)
        os.makedirs(os.path.join(corpus, target))
    archive_seeds(os.path.join(corpus, "archive_walk"))
    archive_seeds(os.path.join(corpus, "archive_extract"))
    for name, data in NOTICES.items():
        write(os.path.join(corpus, "notice", name), data)
    return 0


if __name__ == "__main__":
    sys.exit(main())
