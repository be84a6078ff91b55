#!/usr/bin/env python3
"""Checks Morvelt.exe as shipped, without running it: a 32-bit GUI program that imports only
Windows' own DLLs, whose dialog template, icon group and manifest are exactly what the tool needs
(texts in the right Chinese, no default button, the right styles), which tells Explorer its
version, declares its DPI awareness and supported Windows versions, and which carries its three
archives. Its header names Windows 7 as the oldest system and no build time, so that the same commit
builds the same bytes.

Usage: check_executable.py MORVELT.EXE      Exit code 0 when every check passed.
"""
import struct
import sys
import xml.etree.ElementTree as ElementTree

RT_ICON, RT_DIALOG, RT_GROUP_ICON, RT_VERSION, RT_MANIFEST = 3, 5, 14, 16, 24
LANG_ZH_CN = 2052

WS_TABSTOP, WS_DISABLED, WS_BORDER = 0x00010000, 0x08000000, 0x00800000
WS_CAPTION, WS_SYSMENU, WS_MINIMIZEBOX = 0x00C00000, 0x00080000, 0x00020000
WS_MAXIMIZEBOX, WS_THICKFRAME, WS_CHILD, WS_VISIBLE = 0x00010000, 0x00040000, 0x40000000, 0x10000000
ES_AUTOHSCROLL, ES_READONLY = 0x0080, 0x0800
BS_TYPEMASK, BS_PUSHBUTTON = 0x0F, 0x00
BUTTON, EDIT, STATIC = 0x80, 0x81, 0x82
STATIC_ID = 0xFFFFFFFF  # IDC_STATIC (-1) as a DIALOGEX item id

# Windows' own libraries; anything else (zlib1.dll, libstdc++-6.dll, ...) would have to ship beside the tool.
SYSTEM_DLLS = {
    "advapi32.dll", "bcrypt.dll", "comctl32.dll", "comdlg32.dll", "crypt32.dll", "gdi32.dll",
    "iphlpapi.dll", "kernel32.dll", "msvcrt.dll", "normaliz.dll", "ole32.dll", "oleaut32.dll",
    "secur32.dll", "shell32.dll", "shlwapi.dll", "user32.dll", "wldap32.dll", "ws2_32.dll",
}

# (id, class, text, x, y, cx, cy) in template order, which is the tab order.
CONTROLS = [
    (1000, BUTTON, "设置", 207, 7, 46, 18),
    (1002, BUTTON, "启动官方原版", 47, 30, 76, 48),
    (1003, BUTTON, "启动反和谐版", 137, 30, 76, 30),
    (STATIC_ID, STATIC, "游戏目录：", 15, 11, 42, 8),
    (1004, EDIT, "", 57, 9, 148, 14),
    (STATIC_ID, STATIC, None, 180, 93, 73, 8),  # the credit line: ours to choose
    (1001, BUTTON, "Vantrel《剑灵》专区", 7, 88, 81, 18),
    (1005, BUTTON, "启动召唤师专用版", 137, 60, 76, 18),
]
LAUNCH_BUTTONS = {1002, 1003, 1005}

failures = []


def check(condition, message):
    if not condition:
        failures.append(message)
    return condition


class Image:
    """The parts of a PE file this check reads, through bounds-checked little-endian reads."""

    def __init__(self, data):
        self.data = data
        check(self.u16(0) == 0x5A4D, "no MZ header")
        pe = self.u32(0x3C)
        check(self.data[pe:pe + 4] == b"PE\0\0", "no PE signature")
        self.machine = self.u16(pe + 4)
        sections = self.u16(pe + 6)
        self.timestamp = self.u32(pe + 8)
        optional_size = self.u16(pe + 20)
        optional = pe + 24
        self.magic = self.u16(optional)
        # (major, minor) at the same offsets in PE32 and PE32+.
        self.os_version = (self.u16(optional + 40), self.u16(optional + 42))
        self.subsystem_version = (self.u16(optional + 48), self.u16(optional + 50))
        self.subsystem = self.u16(optional + 68)
        directories = optional + (112 if self.magic == 0x20B else 96)  # PE32+ or PE32
        self.import_rva = self.u32(directories + 8)
        self.resource_rva = self.u32(directories + 16)
        self.sections = []
        table = optional + optional_size
        for i in range(sections):
            s = table + 40 * i
            self.sections.append((self.u32(s + 12), max(self.u32(s + 8), self.u32(s + 16)), self.u32(s + 20)))

    def u16(self, offset):
        return struct.unpack_from("<H", self.data, offset)[0]

    def u32(self, offset):
        return struct.unpack_from("<I", self.data, offset)[0]

    def offset(self, rva):
        for start, size, raw in self.sections:
            if start <= rva < start + size:
                return raw + rva - start
        raise ValueError(f"RVA {rva:#x} lies in no section")

    def cstring(self, offset):
        return self.data[offset:self.data.index(b"\0", offset)].decode("ascii")

    def imports(self):
        names = []
        descriptor = self.offset(self.import_rva)
        while self.u32(descriptor + 12):
            names.append(self.cstring(self.offset(self.u32(descriptor + 12))))
            descriptor += 20
        return names

    def resources(self):
        """{(type, name): {language: bytes}}; names are ints or strings."""
        base = self.offset(self.resource_rva)

        def entries(directory):
            count = self.u16(directory + 12) + self.u16(directory + 14)
            for i in range(count):
                e = directory + 16 + 8 * i
                name, target = self.u32(e), self.u32(e + 4)
                if name & 0x80000000:
                    at = base + (name & 0x7FFFFFFF)
                    name = self.data[at + 2:at + 2 + 2 * self.u16(at)].decode("utf-16-le")
                yield name, target

        found = {}
        for type_, types in entries(base):
            for name, names in entries(base + (types & 0x7FFFFFFF)):
                for language, leaf in entries(base + (names & 0x7FFFFFFF)):
                    record = base + leaf
                    start = self.offset(self.u32(record))
                    found.setdefault((type_, name), {})[language] = self.data[start:start + self.u32(record + 4)]
        return found


def one_language(resources, key):
    languages = resources.get(key)
    if not check(languages, f"resource {key} missing"):
        return None
    return next(iter(languages.values()))


def read_sz_or_ordinal(data, at):
    """A template field: 0 (none), 0xFFFF + ordinal, or a zero-terminated UTF-16 string."""
    first = struct.unpack_from("<H", data, at)[0]
    if first == 0:
        return "", at + 2
    if first == 0xFFFF:
        return struct.unpack_from("<H", data, at + 2)[0], at + 4
    end = at
    while struct.unpack_from("<H", data, end)[0]:
        end += 2
    return data[at:end].decode("utf-16-le"), end + 2


def check_dialog(data):
    version, signature, _, _, style, count, x, y, cx, cy = struct.unpack_from("<HHIIIHhhhh", data, 0)
    check(version == 1 and signature == 0xFFFF, "dialog 129 is not a DIALOGEX template")
    check(style & WS_CAPTION == WS_CAPTION and style & WS_SYSMENU and style & WS_MINIMIZEBOX,
          f"dialog style {style:#x} lacks caption, system menu or minimise box")
    check(not style & (WS_MAXIMIZEBOX | WS_THICKFRAME), f"dialog style {style:#x} allows resizing")
    check((x, y, cx, cy) == (0, 0, 260, 113), f"dialog rectangle {(x, y, cx, cy)}")
    at = 26
    menu, at = read_sz_or_ordinal(data, at)
    window_class, at = read_sz_or_ordinal(data, at)
    caption, at = read_sz_or_ordinal(data, at)
    check(menu == "" and window_class == "", "dialog has a menu or a class of its own")
    check(caption == "Vantrel剑灵反和谐登陆器", f"dialog caption {caption!r}")
    point_size = struct.unpack_from("<H", data, at)[0]
    font, at = read_sz_or_ordinal(data, at + 6)
    check((point_size, font) == (9, "宋体"), f"dialog font {point_size} pt {font!r}")
    check(count == len(CONTROLS), f"{count} controls, expected {len(CONTROLS)}")

    for expected in CONTROLS[:count]:
        at = (at + 3) & ~3
        _, _, cstyle, cx_, cy_, ccx, ccy, cid = struct.unpack_from("<IIIhhhhI", data, at)
        at += 24
        kind, at = read_sz_or_ordinal(data, at)
        text, at = read_sz_or_ordinal(data, at)
        extra = struct.unpack_from("<H", data, at)[0]
        at += 2 + extra
        want_id, want_kind, want_text, *want_rect = expected
        where = f"control {want_id if want_id != STATIC_ID else repr(want_text)}"
        check(cid == want_id, f"{where}: id {cid} in its place (tab order)")
        check(kind == want_kind, f"{where}: class {kind!r}")
        if want_text is not None:
            check(text == want_text, f"{where}: text {text!r}, expected {want_text!r}")
        check([cx_, cy_, ccx, ccy] == want_rect, f"{where}: rectangle {[cx_, cy_, ccx, ccy]}")
        check(cstyle & (WS_CHILD | WS_VISIBLE) == WS_CHILD | WS_VISIBLE, f"{where}: not a visible child")
        if want_kind == BUTTON:
            check(cstyle & BS_TYPEMASK == BS_PUSHBUTTON, f"{where}: not a plain push button (style {cstyle:#x})")
            check(cstyle & WS_TABSTOP, f"{where}: not a tab stop")
            check(bool(cstyle & WS_DISABLED) == (want_id in LAUNCH_BUTTONS),
                  f"{where}: disabled={bool(cstyle & WS_DISABLED)} at start")
        if want_kind == EDIT:
            needed = ES_READONLY | ES_AUTOHSCROLL | WS_BORDER | WS_TABSTOP
            check(cstyle & needed == needed, f"{where}: style {cstyle:#x} lacks read-only, scrolling, border or tab stop")
            check(not cstyle & WS_DISABLED, f"{where}: disabled")


def check_icons(resources):
    group = one_language(resources, (RT_GROUP_ICON, 128))
    if group is None:
        return
    _, kind, count = struct.unpack_from("<HHH", group, 0)
    check(kind == 1, "icon group 128 is not an icon group")
    images = set()
    for i in range(count):
        width, height, _, _, _, bits, size, icon_id = struct.unpack_from("<BBBBHHIH", group, 6 + 14 * i)
        width, height = width or 256, height or 256
        images.add((width, bits))
        image = one_language(resources, (RT_ICON, icon_id))
        if image is None:
            continue
        header_size, bmp_width, bmp_height, _, bmp_bits = struct.unpack_from("<IiiHH", image, 0)
        check(header_size == 40 and (bmp_width, bmp_height, bmp_bits) == (width, 2 * height, bits),
              f"icon {icon_id} is not a {width} px {bits} bpp bitmap with its mask")
        check(len(image) == size, f"icon {icon_id}: size {len(image)} disagrees with the group's {size}")
    expected = {(size, bits) for size in (48, 32, 16) for bits in (4, 8, 32)}
    check(images == expected, f"icon group holds {sorted(images)}, expected {sorted(expected)}")


VERSION = (1, 0, 3, 0)
VERSION_TEXT = "1.0.3.0"
# The string block Explorer shows: Chinese (Simplified), UTF-16. None: any non-empty text.
VERSION_STRINGS = {
    "FileDescription": None, "FileVersion": VERSION_TEXT, "ProductName": None, "ProductVersion": VERSION_TEXT,
    "CompanyName": None, "LegalCopyright": None, "InternalName": None, "OriginalFilename": "Morvelt.exe",
}
VERSION_BLOCK = "080404b0"
TRANSLATION = (0x0804, 1200)

ASM_V1, ASM_V3 = "urn:schemas-microsoft-com:asm.v1", "urn:schemas-microsoft-com:asm.v3"
COMPATIBILITY = "urn:schemas-microsoft-com:compatibility.v1"
SETTINGS_2005 = "http://schemas.microsoft.com/SMI/2005/WindowsSettings"
SETTINGS_2016 = "http://schemas.microsoft.com/SMI/2016/WindowsSettings"
SUPPORTED_OS = {
    "{35138b9a-5d96-4fbd-8e2d-a2440225f93a}": "Windows 7",
    "{4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38}": "Windows 8",
    "{1f676c76-80e1-4239-95bb-83d0f6d0da78}": "Windows 8.1",
    "{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}": "Windows 10 and 11",
}


def version_nodes(data, at, end):
    """The VS_VERSIONINFO tree: (key, value bytes, value type, children) for each node in data[at:end]."""
    nodes = []
    while at + 6 <= end:
        length, value_length, value_type = struct.unpack_from("<HHH", data, at)
        if not check(length >= 6 and at + length <= end, f"version resource: bad node length {length} at {at}"):
            break
        key, key_end = read_sz_or_ordinal(data, at + 6)
        value_at = (key_end + 3) & ~3
        value_size = value_length * 2 if value_type == 1 else value_length
        value_end = min(value_at + value_size, at + length)
        children = version_nodes(data, (value_end + 3) & ~3, at + length)
        nodes.append((key, data[value_at:value_end], value_type, children))
        at = (at + length + 3) & ~3
    return nodes


def check_version(resources):
    data = one_language(resources, (RT_VERSION, 1))
    if data is None:
        return
    nodes = version_nodes(data, 0, len(data))
    if not check(nodes and nodes[0][0] == "VS_VERSION_INFO", "version resource is not a VS_VERSION_INFO"):
        return
    _, fixed, _, children = nodes[0]
    signature, _, file_ms, file_ls, product_ms, product_ls = struct.unpack_from("<6I", fixed.ljust(24, b"\0"))
    check(signature == 0xFEEF04BD, "version resource has no VS_FIXEDFILEINFO")
    for name, ms, ls in (("file", file_ms, file_ls), ("product", product_ms, product_ls)):
        found = (ms >> 16, ms & 0xFFFF, ls >> 16, ls & 0xFFFF)
        check(found == VERSION, f"fixed {name} version {found}, expected {VERSION}")
    blocks = {key: grandchildren for key, _, _, grandchildren in children}
    tables = {key: strings for key, _, _, strings in blocks.get("StringFileInfo", [])}
    if check(VERSION_BLOCK in tables, f"no string block {VERSION_BLOCK}, found {sorted(tables)}"):
        strings = {key: value.decode("utf-16-le").split("\0")[0] for key, value, _, _ in tables[VERSION_BLOCK]}
        print("version strings:", ", ".join(f"{key}={value!r}" for key, value in sorted(strings.items())))
        for key, wanted in VERSION_STRINGS.items():
            value = strings.get(key, "")
            check(value and (wanted is None or value == wanted), f"version string {key} is {value!r}")
    translations = [value for key, value, _, _ in blocks.get("VarFileInfo", []) if key == "Translation"]
    check(translations and struct.unpack_from("<HH", translations[0].ljust(4, b"\0")) == TRANSLATION,
          f"version Translation {translations}, expected {TRANSLATION}")


def check_manifest(resources):
    manifest = one_language(resources, (RT_MANIFEST, 1))
    if manifest is None:
        return
    text = manifest.decode("utf-8")
    for needed in ('level="asInvoker"', 'uiAccess="false"', 'name="Microsoft.Windows.Common-Controls"',
                   'version="6.0.0.0"'):
        check(needed in text, f"manifest lacks {needed}")
    try:
        root = ElementTree.fromstring(manifest)
    except ElementTree.ParseError as error:
        check(False, f"manifest is not well-formed XML: {error}")
        return
    identity = root.find(f"{{{ASM_V1}}}assemblyIdentity")
    check(identity is not None and identity.get("version") == VERSION_TEXT,
          f"manifest assembly version disagrees with the version resource's {VERSION_TEXT}")
    # Windows reads these settings only in their own namespaces; elsewhere they are silently ignored.
    settings = root.find(f"{{{ASM_V3}}}application/{{{ASM_V3}}}windowsSettings")
    if check(settings is not None, "manifest has no application/windowsSettings (asm.v3)"):
        aware = settings.find(f"{{{SETTINGS_2005}}}dpiAware")
        awareness = settings.find(f"{{{SETTINGS_2016}}}dpiAwareness")
        # The dialog does not handle WM_DPICHANGED: per-monitor v1 ("true/pm", "PerMonitor") would
        # leave it at the wrong size after a move to a monitor of another DPI.
        check(aware is not None and aware.text.strip().lower() == "true", "manifest lacks dpiAware true (2005)")
        modes = [part.strip().lower() for part in awareness.text.split(",")] if awareness is not None else []
        check(modes[:1] == ["permonitorv2"] and "permonitor" not in modes,
              "manifest lacks dpiAwareness PerMonitorV2 without a per-monitor v1 fallback (2016)")
    ids = {os_.get("Id", "").lower() for os_ in root.iterfind(f"{{{COMPATIBILITY}}}compatibility/"
                                                             f"{{{COMPATIBILITY}}}application/"
                                                             f"{{{COMPATIBILITY}}}supportedOS")}
    for guid, name in SUPPORTED_OS.items():
        check(guid in ids, f"manifest does not name {name} as supported")


def check_terminal_server_aware(image):
    pe = image.u32(0x3C)
    characteristics = image.u16(pe + 24 + 70)  # DllCharacteristics: the same offset in PE32 and PE32+
    check(characteristics & 0x8000, f"not linked as terminal-server aware (DllCharacteristics {characteristics:#x})")


def main(argv):
    if len(argv) != 2:
        sys.stderr.write(__doc__)
        return 2
    with open(argv[1], "rb") as f:
        image = Image(f.read())
    # The shipped build is 32-bit; the 64-bit one exists for machines that cannot run 32-bit programs.
    check((image.machine, image.magic) in ((0x14C, 0x10B), (0x8664, 0x20B)), "not an x86 or x64 executable")
    check(image.subsystem == 2, f"subsystem {image.subsystem}, expected the Windows GUI (2)")
    # Windows 7, the oldest the manifest names: Windows keys compatibility behaviour on these.
    check(image.subsystem_version == (6, 1), f"subsystem version {image.subsystem_version}, expected (6, 1)")
    check(image.os_version == (6, 1), f"operating system version {image.os_version}, expected (6, 1)")
    check(image.timestamp == 0, f"time stamp {image.timestamp:#x}: a build time makes every build differ")
    imports = image.imports()
    print("imports:", ", ".join(imports))
    foreign = [name for name in imports if name.lower() not in SYSTEM_DLLS]
    check(not foreign, f"depends on DLLs outside Windows: {foreign}")

    resources = image.resources()
    dialog = one_language(resources, (RT_DIALOG, 129))
    if dialog is not None:
        check_dialog(dialog)
    check_icons(resources)
    check_manifest(resources)
    check_version(resources)
    check_terminal_server_aware(image)
    for archive in (203, 204, 205):
        data = resources.get(("ZIP", archive), {}).get(LANG_ZH_CN)
        check(data is not None and data[:4] == b"PK\3\4", f"ZIP resource {archive} (language 2052) missing")

    for failure in failures:
        print("FAIL:", failure)
    if not failures:
        print("PASS: Morvelt.exe")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
