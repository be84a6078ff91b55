#!/usr/bin/env python3
"""Crafts the malformed ZIP archives of the malformed-archive suite, with their expected results.

Every archive starts from a well-formed one built field by field here, then has exactly one
thing broken, so that a row that fails names the check that is missing.

Writes into --out:
  <case>.zip          one archive per case
  manifest.txt        one line per case: name, then the expected result of each operation
  malformed_cases.inc the same table with the archive bytes, for the C++ suite
With --seeds DIR it also writes a few small archives as fuzzing seeds.

Manifest grammar (whitespace-separated tokens after the case name):
  open=null                   OpenArchiveFromMemory gives a null handle
  open=ok count=N             it opens and the count query gives N
  entry=I,GET,EXTRACT[,SIZE,CRC]
                              GetEntry(I) gives GET, then ExtractEntryToFile(I) gives EXTRACT;
                              on success the file holds SIZE bytes with that CRC-32 (hex).
  modified=I,SECONDS          GetEntry(I) reports that Unix time as the modification time.
Codes are the names ArchiveResultName gives.
"""

import argparse
import os
import struct
import sys
import zlib

# Codes of the reader's sound refusals.
UNSAFE_NAME = "kUnsafeName"
NAME_TOO_LONG = "kNameTooLong"
PATH_TOO_LONG = "kPathTooLong"
CRC_MISMATCH = "kCrcMismatch"
BAD_CENTRAL = "kBadRecord"
# Extraction of an entry whose local header disagrees with its central record.
LOCAL_MISMATCH_EXTRACT = "kCorrupt"

DOS_DATE = ((2024 - 1980) << 9) | (1 << 5) | 2
DOS_TIME = (3 << 11) | (4 << 5) | 3
HOST_FAT = 0
ATTR_ARCHIVE = 0x20

SIG_LOCAL = 0x04034B50
SIG_CENTRAL = 0x02014B50
SIG_END = 0x06054B50


def crc(data):
    return zlib.crc32(data) & 0xFFFFFFFF


def deflate(data):
    c = zlib.compressobj(9, zlib.DEFLATED, -15)
    return c.compress(data) + c.flush()


def semi_compressible(size, seed):
    # Words from a small vocabulary with a rolling number: inflates in several pieces, and
    # compresses enough that a truncated stream is clearly mid-way.
    out = bytearray()
    x = seed
    while len(out) < size:
        x = (x * 1103515245 + 12345) & 0x7FFFFFFF
        out += b"%08x " % (x >> 7) if x & 3 == 0 else b"block "
    return bytes(out[:size])


class Entry:
    """One entry; `local` and `central` override header fields after they were derived."""

    def __init__(self, name, data, method=8, payload=None, local=None, central=None,
                 local_extra=b"", flags=0, attributes=ATTR_ARCHIVE):
        self.name = name if isinstance(name, bytes) else name.encode("utf-8")
        self.data = data
        self.method = method
        if payload is None:
            payload = deflate(data) if method == 8 else data
        self.payload = payload
        self.local = dict(local or {})
        self.central = dict(central or {})
        self.local_extra = local_extra
        self.flags = flags
        self.attributes = attributes

    def fields(self):
        return {
            "sig": None, "version": 20, "flags": self.flags, "method": self.method,
            "time": DOS_TIME, "date": DOS_DATE, "crc": crc(self.data),
            "csize": len(self.payload), "usize": len(self.data), "name_len": len(self.name),
        }


def local_header(e):
    f = e.fields()
    f["sig"] = SIG_LOCAL
    f["extra_len"] = len(e.local_extra)
    f.update(e.local)
    return struct.pack("<IHHHHHIIIHH", f["sig"], f["version"], f["flags"], f["method"], f["time"],
                       f["date"], f["crc"], f["csize"], f["usize"], f["name_len"],
                       f["extra_len"]) + e.name + e.local_extra


def central_header(e, offset):
    f = e.fields()
    f.update({"sig": SIG_CENTRAL, "made_by": (HOST_FAT << 8) | 20, "extra_len": 0,
              "comment_len": 0, "disk": 0, "internal": 0, "external": e.attributes,
              "offset": offset})
    f.update(e.central)
    return struct.pack("<IHHHHHHIIIHHHHHII", f["sig"], f["made_by"], f["version"], f["flags"],
                       f["method"], f["time"], f["date"], f["crc"], f["csize"], f["usize"],
                       f["name_len"], f["extra_len"], f["comment_len"], f["disk"],
                       f["internal"], f["external"], f["offset"]) + e.name


def build(entries, comment=b"", prefix=b"", end=None, tail=b""):
    """Returns the archive bytes; `end` overrides end-record fields, `tail` follows the comment."""
    body = bytearray(prefix)
    offsets = []
    for e in entries:
        offsets.append(len(body) - len(prefix))
        body += local_header(e) + e.payload
    cd_offset = len(body) - len(prefix)
    cd = b"".join(central_header(e, o) for e, o in zip(entries, offsets))
    f = {"sig": SIG_END, "disk": 0, "cd_disk": 0, "count_disk": len(entries),
         "count_total": len(entries), "cd_size": len(cd), "cd_offset": cd_offset,
         "comment_len": len(comment)}
    f.update(end or {})
    return bytes(body) + cd + struct.pack("<IHHHHIIH", f["sig"], f["disk"], f["cd_disk"],
                                          f["count_disk"], f["count_total"], f["cd_size"],
                                          f["cd_offset"], f["comment_len"]) + comment + tail


def layout(entries, prefix=b""):
    """Offsets of each local header and of the central directory, as `build` places them."""
    offsets, pos = [], len(prefix)
    for e in entries:
        offsets.append(pos - len(prefix))
        pos += len(local_header(e)) + len(e.payload)
    return offsets, pos - len(prefix)


# --- traditional PKWARE encryption -------------------------------------------------------------

CRC_TABLE = []
for n in range(256):
    c = n
    for _ in range(8):
        c = (c >> 1) ^ 0xEDB88320 if c & 1 else c >> 1
    CRC_TABLE.append(c)


class ZipCrypto:
    def __init__(self, password):
        self.k = [0x12345678, 0x23456789, 0x34567890]
        for b in password:
            self.update(b)

    def update(self, b):
        k = self.k
        k[0] = CRC_TABLE[(k[0] ^ b) & 0xFF] ^ (k[0] >> 8)
        k[1] = ((k[1] + (k[0] & 0xFF)) * 134775813 + 1) & 0xFFFFFFFF
        k[2] = CRC_TABLE[(k[2] ^ (k[1] >> 24)) & 0xFF] ^ (k[2] >> 8)

    def stream_byte(self):
        t = (self.k[2] | 2) & 0xFFFF
        return ((t * (t ^ 1)) >> 8) & 0xFF

    def encrypt(self, data):
        out = bytearray()
        for p in data:
            out.append(p ^ self.stream_byte())
            self.update(p)
        return bytes(out)

    def decrypt(self, data):
        out = bytearray()
        for c in data:
            p = c ^ self.stream_byte()
            self.update(p)
            out.append(p)
        return bytes(out)


def encrypted_stored(name, data, password):
    check = crc(data) >> 24
    for salt in range(256):
        header = bytes((salt * 7 + i * 13) & 0xFF for i in range(11)) + bytes([check])
        cipher = ZipCrypto(password).encrypt(header + data)
        # Opened without a password, the header must fail its check for this row to be exact.
        if ZipCrypto(b"").decrypt(cipher[:12])[11] != check:
            return Entry(name, data, method=0, payload=cipher, flags=1)
    raise RuntimeError("no header fails the empty-password check")


# --- names --------------------------------------------------------------------------------------

def sanitise(name):
    """The reader's name rules, to predict which stored names stay inside the target."""
    while True:
        if len(name) >= 2 and name[1] == ":":
            name = name[2:]
        elif name[:1] in ("\\", "/"):
            name = name[1:]
        else:
            for needle in ("\\..\\", "\\../", "/../", "/..\\"):
                i = name.find(needle)
                if i >= 0:
                    name = name[i + len(needle):]
                    break
            else:
                return name


def escapes(name):
    parts = name.replace("\\", "/").split("/")
    return name == "" or ".." in parts or name.endswith(("/", "\\"))


# --- the cases ----------------------------------------------------------------------------------

A_DATA = b"hello, world\n"
B_DATA = semi_compressible(3000, 7)


def two_entries(**b_overrides):
    return [Entry("a.txt", A_DATA, method=0), Entry("b.bin", B_DATA, **b_overrides)]


def ok_row(i, data):
    return "entry=%d,kOk,kOk,%d,%08x" % (i, len(data), crc(data))


def opened(count, *rows):
    return ["open=ok", "count=%d" % count] + list(rows)


def cases():
    out = []

    def add(name, data, expect):
        out.append((name, data, expect))

    base = build(two_entries())
    base_rows = [ok_row(0, A_DATA), ok_row(1, B_DATA)]
    add("well_formed", base, opened(2, *base_rows))
    add("prefixed_by_stub", build(two_entries(), prefix=b"MZ" + bytes(510)), opened(2, *base_rows))
    add("with_comment", build(two_entries(), comment=b"made here"), opened(2, *base_rows))
    add("empty_archive", build([]), opened(0))

    # Truncation: every structural boundary, and every byte of the end record.
    offsets, cd = layout(two_entries())
    cuts = {0, 1, 3, 4, 5, 29, 30, 31, 40, 60, offsets[1], offsets[1] + 30, offsets[1] + 400,
            cd - 1, cd, cd + 1, cd + 45, cd + 46, cd + 60}
    cuts |= set(range(len(base) - 22, len(base)))
    for cut in sorted(cuts):
        add("truncated_at_%d" % cut, base[:cut], ["open=null"])
    # Bytes missing from the front or the middle while the end record stays.
    add("front_cut_keeps_end_record", base[40:], ["open=null"])
    add("middle_cut_keeps_end_record", base[:100] + base[400:], ["open=null"])

    # Signatures.
    add("wrong_end_signature", base[:-22] + b"PK\x05\x07" + base[-18:], ["open=null"])
    add("wrong_central_signature_first",
        build([Entry("a.txt", A_DATA, method=0, central={"sig": 0x02014B51}),
               Entry("b.bin", B_DATA)]),
        opened(2, "entry=0,%s,%s" % (BAD_CENTRAL, BAD_CENTRAL),
               "entry=1,%s,%s" % (BAD_CENTRAL, BAD_CENTRAL)))
    add("wrong_central_signature_second",
        build(two_entries(central={"sig": 0x06054B50})),
        opened(2, ok_row(0, A_DATA), "entry=1,%s,%s" % (BAD_CENTRAL, BAD_CENTRAL)))
    add("wrong_local_signature",
        build([Entry("a.txt", A_DATA, method=0, local={"sig": 0x04034B51}),
               Entry("b.bin", B_DATA)]),
        opened(2, "entry=0,kCorrupt,%s" % LOCAL_MISMATCH_EXTRACT, ok_row(1, B_DATA)))

    # End record fields that point outside the block or disagree.
    add("central_offset_beyond_block", build(two_entries(), end={"cd_offset": 0x10000}),
        ["open=null"])
    add("central_size_beyond_block", build(two_entries(), end={"cd_size": 0x10000}),
        ["open=null"])
    # Offset + size wraps to a small number that passes an unchecked "fits before the end record".
    add("central_offset_plus_size_overflows",
        build(two_entries(), end={"cd_offset": 0xFFFFFF00, "cd_size": 0x100 + 10}),
        ["open=null"])
    # The wrapped sum makes an unchecked reader take the prefix as cd + 16 and land on the real
    # directory through the wrapped offset.
    real_size = len(base) - 22 - cd
    add("central_offset_overflow_lands_on_directory",
        build(two_entries(), end={"cd_offset": 0xFFFFFFF0, "cd_size": real_size}),
        ["open=null"])
    add("multi_disk", build(two_entries(), end={"disk": 1, "cd_disk": 1}), ["open=null"])
    add("entry_counts_differ", build(two_entries(), end={"count_disk": 1}), ["open=null"])
    add("count_above_records", build(two_entries(), end={"count_disk": 3, "count_total": 3}),
        opened(3, *base_rows, "entry=2,%s,%s" % (BAD_CENTRAL, BAD_CENTRAL)))
    add("count_far_above_records",
        build(two_entries(), end={"count_disk": 0xFFFF, "count_total": 0xFFFF}),
        opened(0xFFFF, *base_rows, "entry=2,%s,%s" % (BAD_CENTRAL, BAD_CENTRAL),
               "entry=3,%s,%s" % (BAD_CENTRAL, BAD_CENTRAL),
               "entry=65534,%s,%s" % (BAD_CENTRAL, BAD_CENTRAL)))
    add("count_below_records", build(two_entries(), end={"count_disk": 1, "count_total": 1}),
        opened(1, ok_row(0, A_DATA), "entry=1,kBadArguments,kBadArguments"))
    add("count_zero_with_records", build(two_entries(), end={"count_disk": 0, "count_total": 0}),
        opened(0, "entry=0,kBadArguments,kBadArguments"))

    # Fake end records inside the archive comment: the one nearest the end is taken.
    fake_cut = b"PK\x05\x06\0\0"
    add("fake_end_record_cut_short_in_comment",
        build(two_entries(), comment=b"note " + fake_cut), ["open=null"])
    fake_counts = struct.pack("<IHHHHIIH", SIG_END, 0, 0, 1, 2, 0, 0, 0)
    add("fake_end_record_with_unequal_counts_in_comment",
        build(two_entries(), comment=b"note " + fake_counts), ["open=null"])
    fake_far = struct.pack("<IHHHHIIH", SIG_END, 0, 0, 2, 2, 0x7FFFFFF0, 0x7FFFFFF0, 0)
    add("fake_end_record_pointing_far_in_comment",
        build(two_entries(), comment=b"note " + fake_far), ["open=null"])
    # Self-consistent fake: every offset is shifted by the bytes between it and the real
    # directory, so the first central record is read from the wrong place.
    real_cd_size = len(base) - 22 - cd
    fake_shift = struct.pack("<IHHHHIIH", SIG_END, 0, 0, 2, 2, real_cd_size, cd, 0)
    add("fake_end_record_shifting_offsets_in_comment",
        build(two_entries(), comment=b"note " + fake_shift),
        opened(2, "entry=0,%s,%s" % (BAD_CENTRAL, BAD_CENTRAL),
               "entry=1,%s,%s" % (BAD_CENTRAL, BAD_CENTRAL)))
    add("end_record_at_edge_of_search_window",
        build(two_entries(), comment=bytes(65535 - 22)), opened(2, *base_rows))
    add("end_record_beyond_search_window",
        build(two_entries(), comment=bytes(65535 - 22 + 1)), ["open=null"])
    add("comment_length_beyond_block",
        build(two_entries(), comment=b"short", end={"comment_len": 0xFFFF}),
        opened(2, *base_rows))

    # Overlapping entries: a second central record pointing at the first local header.
    twin = [Entry("a.txt", A_DATA, method=0), Entry("c.txt", A_DATA, method=0)]
    add("overlapping_entries_agreeing", overlap(twin),
        opened(2, ok_row(0, A_DATA), ok_row(1, A_DATA)))
    add("overlapping_entries_disagreeing", overlap(two_entries()),
        opened(2, ok_row(0, A_DATA), "entry=1,kCorrupt,%s" % LOCAL_MISMATCH_EXTRACT))

    # Local header versus central record.
    mismatch = "entry=1,kCorrupt,%s" % LOCAL_MISMATCH_EXTRACT
    for field, value in (("method", 0), ("csize", len(deflate(B_DATA)) - 1),
                         ("usize", len(B_DATA) + 1), ("crc", crc(B_DATA) ^ 1),
                         ("name_len", 4)):
        add("local_%s_differs" % field, build(two_entries(local={field: value})),
            opened(2, ok_row(0, A_DATA), mismatch))
    add("method_unsupported", build(two_entries(local={"method": 12}, central={"method": 12})),
        opened(2, ok_row(0, A_DATA), mismatch))
    # Bit 3 defers CRC and sizes to a data descriptor: the central values rule.
    add("local_sizes_deferred_by_flag_bit_3",
        build(two_entries(local={"flags": 8, "crc": 0, "csize": 0, "usize": 0})),
        opened(2, *base_rows))
    add("local_header_offset_beyond_block",
        build(two_entries(central={"offset": 0x7FFFFF00})),
        opened(2, ok_row(0, A_DATA), mismatch))
    # The wrapped offset plus the prefix lands on a copy of the entry hidden in the prefix.
    hidden = Entry("b.bin", B_DATA)
    stub = bytes(8) + local_header(hidden) + hidden.payload + bytes(8)
    add("local_header_offset_overflows_with_prefix",
        build([Entry("a.txt", A_DATA, method=0),
               Entry("b.bin", B_DATA, central={"offset": (8 - len(stub)) & 0xFFFFFFFF})],
              prefix=stub),
        opened(2, ok_row(0, A_DATA), mismatch))
    add("central_name_length_beyond_block",
        build(two_entries(central={"name_len": 0xFFFF})),
        opened(2, ok_row(0, A_DATA), "entry=1,%s,%s" % (BAD_CENTRAL, BAD_CENTRAL)))
    add("local_extra_beyond_block",
        build(two_entries(local={"extra_len": 0xFFFF})),
        opened(2, ok_row(0, A_DATA), "entry=1,kReadFailed,kReadFailed"))
    add("ut_block_shorter_than_flags",
        build(two_entries(local_extra=b"UT\x01\x00\x07")), opened(2, *base_rows))
    # A block of size zero must still move the walk on by its four header bytes.
    ut = b"UT\x05\x00\x01" + struct.pack("<I", 1600000000)
    add("local_extra_empty_block_before_ut",
        build(two_entries(local_extra=b"\x0a\x00\x00\x00" + ut)),
        opened(2, *base_rows, "modified=1,1600000000"))
    add("local_extra_block_skipped_by_size_plus_header",
        build(two_entries(local_extra=b"\x75\x78\x0b\x00" + bytes([1, 4, 0, 0, 0, 0, 4, 0, 0, 0, 0]) + ut)),
        opened(2, *base_rows, "modified=1,1600000000"))
    add("local_extra_ends_inside_block",
        build(two_entries(local_extra=b"UT\x0d\x00\x01\x00\x00")), opened(2, *base_rows))

    # Entry data.
    short_stored = Entry("s.txt", A_DATA, method=0, payload=A_DATA[:5])
    short_stored.local = short_stored.central = {"csize": 5, "usize": len(A_DATA)}
    add("stored_compressed_below_uncompressed", build([short_stored]),
        opened(1, "entry=0,kOk,kInflateFailed"))
    add("stored_size_beyond_block",
        build([Entry("s.txt", A_DATA, method=0,
                     local={"csize": 0x7FFFFFFF, "usize": 0x7FFFFFFF},
                     central={"csize": 0x7FFFFFFF, "usize": 0x7FFFFFFF})]),
        opened(1, "entry=0,kOk,kInflateFailed"))
    packed = deflate(B_DATA)
    add("deflate_stream_ends_early", build(two_entries(payload=packed[:len(packed) // 2])),
        opened(2, ok_row(0, A_DATA), "entry=1,kOk,kInflateFailed"))
    add("deflate_stream_empty", build(two_entries(payload=b"")),
        opened(2, ok_row(0, A_DATA), "entry=1,kOk,kInflateFailed"))
    add("deflate_stream_invalid", build(two_entries(payload=b"\xff" * 64)),
        opened(2, ok_row(0, A_DATA), "entry=1,kOk,kInflateFailed"))
    # The stream ends with the CRC of everything it held matching, but short of the size.
    grown = {"usize": len(B_DATA) + 100}
    add("deflate_stream_shorter_than_size", build(two_entries(local=grown, central=grown)),
        opened(2, ok_row(0, A_DATA), "entry=1,kOk,kInflateFailed"))
    # The stream runs on past the recorded size: what lies within it counts, checked by its CRC.
    cut = B_DATA[:-100]
    shrunk = {"usize": len(cut), "crc": crc(cut)}
    add("deflate_stream_longer_than_size", build(two_entries(local=shrunk, central=shrunk)),
        opened(2, ok_row(0, A_DATA), ok_row(1, cut)))
    bad_crc = {"crc": crc(B_DATA) ^ 0x80000000}
    add("wrong_crc_deflated", build(two_entries(local=bad_crc, central=bad_crc)),
        opened(2, ok_row(0, A_DATA), "entry=1,kOk,%s" % CRC_MISMATCH))
    bad_crc_a = {"crc": crc(A_DATA) ^ 1}
    add("wrong_crc_stored",
        build([Entry("a.txt", A_DATA, method=0, local=bad_crc_a, central=bad_crc_a)]),
        opened(1, "entry=0,kOk,%s" % CRC_MISMATCH))
    add("wrong_crc_empty_entry",
        build([Entry("e.txt", b"", method=0, local={"crc": 1}, central={"crc": 1})]),
        opened(1, "entry=0,kOk,%s" % CRC_MISMATCH))
    add("encrypted_without_password", build([encrypted_stored("x.txt", A_DATA, b"secret")]),
        opened(1, "entry=0,kOk,kPasswordRequired"))
    cut_enc = encrypted_stored("x.txt", A_DATA, b"secret")
    cut_enc.payload = cut_enc.payload[:5]
    add("encrypted_header_cut_short", build([cut_enc]),
        opened(1, "entry=0,kOk,kInflateFailed"))

    # Names that are not valid UTF-8 still read and never leave the target.
    for label, raw in (("invalid_utf8_byte", b"bad\xff.txt"),
                       ("utf8_overlong_slash", b"..\xc0\xafx.txt"),
                       ("utf8_lone_surrogate", b"s\xed\xa0\x80.txt"),
                       ("utf8_cut_sequence", b"cut\xe4\xb8")):
        add(label, build([Entry(raw, A_DATA, method=0)]), opened(1, ok_row(0, A_DATA)))

    # Name lengths: 259 stored bytes fit the record, one more does not; a joined path beyond
    # 259 units is refused rather than cut.
    # Components stay below the 255 bytes a Linux file name may have.
    fits = "d" * 120 + "/" + "n" * 134 + ".txt"
    add("name_259_bytes", build([Entry(fits, A_DATA, method=0)]),
        opened(1, "entry=0,kOk,%s" % PATH_TOO_LONG))
    add("name_260_bytes", build([Entry("d" + fits, A_DATA, method=0)]),
        opened(1, "entry=0,%s,%s" % (NAME_TOO_LONG, NAME_TOO_LONG)))
    add("name_1000_bytes", build([Entry("d/" * 498 + "n.txt", A_DATA, method=0)]),
        opened(1, "entry=0,%s,%s" % (NAME_TOO_LONG, NAME_TOO_LONG)))
    wide = "名" * 43 + "/" + "名" * 43  # 259 bytes, 87 units
    add("name_259_bytes_of_wide_characters", build([Entry(wide, A_DATA, method=0)]),
        opened(1, ok_row(0, A_DATA)))
    add("name_300_bytes_of_wide_characters",
        build([Entry("名" * 50 + "/" + "名" * 49 + "x", A_DATA, method=0)]),
        opened(1, "entry=0,%s,%s" % (NAME_TOO_LONG, NAME_TOO_LONG)))
    add("name_120_bytes", build([Entry("d/" * 20 + "n" * 76 + ".txt", A_DATA, method=0)]),
        opened(1, ok_row(0, A_DATA)))

    # Every spelling of a path that climbs out of the target or names another root.
    for label, name in (("climbs_one_level", "../x"),
                        ("climbs_after_a_directory", "a/../../x"),
                        ("climbs_with_backslash", "..\\x"),
                        ("drive_relative", "C:x"),
                        ("unc_share", "\\\\server\\x"),
                        ("rooted", "/x"),
                        ("drive_rooted_climb", "C:\\..\\x"),
                        ("rooted_climb", "/../x"),
                        ("backslash_climb_after_a_directory", "a\\..\\..\\x"),
                        ("bare_dotdot", ".."),
                        ("trailing_dotdot", "x/.."),
                        ("directory_and_back", "a/../x"),
                        ("dot_segment", "./x"),
                        ("drive_only", "C:"),
                        ("root_only", "/"),
                        ("empty", ""),
                        ("climbs_four_levels", "../../../../x"),
                        ("climbs_back_to_the_target", "a/b/../../../x"),
                        ("climbs_below_a_directory", "x/../../y"),
                        ("dotdot_begins_a_name", "..x"),
                        ("mixed_separator_climb", "a/..\\../x")):
        row = "entry=0,kOk,%s" % UNSAFE_NAME if escapes(sanitise(name)) else ok_row(0, A_DATA)
        add("path_" + label, build([Entry(name, A_DATA, method=0)]), opened(1, row))
    return out


def overlap(entries):
    """Both central records point at the first local header; the second local header is gone."""
    first = entries[0]
    second = entries[1]
    body = local_header(first) + first.payload
    cd = central_header(first, 0) + central_header(second, 0)
    return body + cd + struct.pack("<IHHHHIIH", SIG_END, 0, 0, 2, 2, len(cd), len(body), 0)


SEEDS = ("well_formed", "local_extra_empty_block_before_ut", "prefixed_by_stub", "wrong_crc_stored", "local_sizes_deferred_by_flag_bit_3",
         "encrypted_without_password", "path_climbs_after_a_directory", "ut_block_shorter_than_flags",
         "count_above_records")


def c_array(data):
    lines = []
    for i in range(0, len(data), 24):
        lines.append("    " + ",".join("0x%02x" % b for b in data[i:i + 24]) + ",")
    return "\n".join(lines)


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--out", required=True)
    parser.add_argument("--seeds", help="also write a few small archives here as fuzzing seeds")
    args = parser.parse_args()
    os.makedirs(args.out, exist_ok=True)

    table = cases()
    names = [n for n, _, _ in table]
    if len(set(names)) != len(names):
        sys.exit("duplicate case names")

    manifest = []
    inc = ["// Generated by make_malformed.py; do not edit.", ""]
    for i, (name, data, expect) in enumerate(table):
        with open(os.path.join(args.out, name + ".zip"), "wb") as f:
            f.write(data)
        manifest.append(name + " " + " ".join(expect))
        inc.append("static const unsigned char kCase%d[] = {\n%s\n    0};" % (i, c_array(data)))
    inc.append("")
    inc.append("static const MalformedCase kMalformedCases[] = {")
    for i, (name, data, expect) in enumerate(table):
        inc.append('    {"%s", kCase%d, %d, "%s"},' % (name, i, len(data), " ".join(expect)))
    inc.append("};")

    write_if_changed(os.path.join(args.out, "manifest.txt"), "\n".join(manifest) + "\n")
    write_if_changed(os.path.join(args.out, "malformed_cases.inc"), "\n".join(inc) + "\n")

    if args.seeds:
        os.makedirs(args.seeds, exist_ok=True)
        for name, data, _ in table:
            if name in SEEDS:
                with open(os.path.join(args.seeds, name + ".zip"), "wb") as f:
                    f.write(data)


def write_if_changed(path, text):
    # Keeps the suite from rebuilding when the generator ran but nothing changed.
    try:
        with open(path, encoding="utf-8") as f:
            if f.read() == text:
                return
    except FileNotFoundError:
        pass
    with open(path, "w", encoding="utf-8") as f:
        f.write(text)


if __name__ == "__main__":
    main()
