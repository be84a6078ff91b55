#!/usr/bin/env python3
"""Every source file that spells a marker telling the 32-bit exe from its 64-bit twin is listed,
with that marker, in docs/twins.md: a new difference between the builds cannot go unnoticed."""
import os
import re
import sys

MARKERS = ("_WIN64", "IsWow64Process", "KEY_WOW64_", "CMAKE_SIZEOF_VOID_P", "morvelt_pe_winearch", "/reg:32",
           "__x86_64__", "__i386__", "_M_IX86", "_M_X64")
SOURCES = (".cpp", ".h", ".c", ".cmake", ".txt", ".sh", ".py", ".rc", ".in")
SKIPPED = {".git", "build", "docs"}


def main(root):
    with open(os.path.join(root, "docs", "twins.md"), encoding="utf-8") as f:
        doc = f.read()
    rows = [line for line in doc.splitlines() if line.startswith("| `")]
    missing = []
    for folder, dirs, files in os.walk(root):
        dirs[:] = sorted(d for d in dirs if d not in SKIPPED and not d.startswith("build"))
        for name in sorted(files):
            if not name.endswith(SOURCES) or name == os.path.basename(__file__):
                continue
            path = os.path.join(folder, name)
            relative = os.path.relpath(path, root).replace(os.sep, "/")
            with open(path, encoding="utf-8", errors="replace") as f:
                text = f.read()
            for marker in MARKERS:
                if not re.search(re.escape(marker), text):
                    continue
                listed = any(f"`{relative}`" in row and marker in row for row in rows)
                if not listed:
                    missing.append(f"{relative}: {marker}")
    for entry in missing:
        print(f"not listed in docs/twins.md: {entry}")
    print("FAIL" if missing else "PASS: every difference between the twins is listed")
    return 1 if missing else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), "..", "..")))
