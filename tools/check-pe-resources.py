#!/usr/bin/python3
"""Checks the resources an edgepad.exe carries, as Windows reads them from the file: the
icon group 1 with a 32x32 256-colour image, the version record with FileVersion and
ProductVersion "1.02", and the manifest (run as invoker, DPI-unaware, common controls 6,
supported Windows versions).
    tools/check-pe-resources.py PROGRAM.exe
Prints a line per check and exits non-zero when one fails."""
import struct
import sys
import xml.etree.ElementTree as ElementTree

RT_ICON, RT_GROUP_ICON, RT_VERSION, RT_MANIFEST = 3, 14, 16, 24
VERSION = "1.02"


class Report:
    def __init__(self):
        self.passed = 0
        self.failed = 0

    def check(self, condition, what):
        print(("ok   " if condition else "FAIL ") + what)
        if condition:
            self.passed += 1
        else:
            self.failed += 1
        return condition


def resources(pe):
    """{(type, id): bytes} for every resource, first language only."""
    found = {}
    root = getattr(pe, "DIRECTORY_ENTRY_RESOURCE", None)
    if root is None:
        return found
    for kind in root.entries:
        for name in kind.directory.entries:
            language = name.directory.entries[0]
            entry = language.data.struct
            found[(kind.id, name.id)] = pe.get_data(entry.OffsetToData, entry.Size)
    return found


def image_bit_count(data):
    """Bits per pixel of one icon image stored as a DIB, or None."""
    if len(data) >= 16 and struct.unpack("<I", data[:4])[0] == 40:
        return struct.unpack("<H", data[14:16])[0]
    return None


def image_size(data):
    """Width and height of one icon image: a PNG or a DIB whose height counts the mask too."""
    if data[:8] == b"\x89PNG\r\n\x1a\n":
        return struct.unpack(">II", data[16:24])
    if len(data) >= 12 and struct.unpack("<I", data[:4])[0] == 40:
        width, height = struct.unpack("<ii", data[4:12])
        return width, height // 2
    return None


def check_icon(report, found):
    group = found.get((RT_GROUP_ICON, 1))
    if not report.check(group is not None, "an icon group with id 1"):
        return
    _, kind, count = struct.unpack("<HHH", group[:6])
    sizes = []
    for i in range(count):
        width, height, _, _, _, _, _, image_id = struct.unpack(
            "<BBBBHHIH", group[6 + 14 * i : 20 + 14 * i])
        image = found.get((RT_ICON, image_id))
        actual = image_size(image) if image else None
        report.check(actual == (width or 256, height or 256),
                     f"icon image {image_id} is {width or 256}x{height or 256} as its group says"
                     f" (it is {actual})")
        sizes.append((width, height, image_bit_count(image) if image else None))
    report.check(kind == 1 and (32, 32, 8) in sizes,
                 f"the icon has a 32x32 image of 256 colours (width, height, bits: {sizes})")


def check_version(report, pe, found):
    if not report.check((RT_VERSION, 1) in found, "a version record with id 1"):
        return
    strings = {}
    for info in getattr(pe, "FileInfo", []):
        for block in info:
            for table in getattr(block, "StringTable", []):
                for key, value in table.entries.items():
                    strings[key.decode()] = value.decode()
    for key in ("FileVersion", "ProductVersion"):
        report.check(strings.get(key) == VERSION,
                     f'{key} is "{VERSION}" (it is {strings.get(key)!r})')
    fixed = pe.VS_FIXEDFILEINFO[0]
    numbers = (fixed.FileVersionMS >> 16, fixed.FileVersionMS & 0xFFFF,
               fixed.FileVersionLS >> 16, fixed.FileVersionLS & 0xFFFF)
    # The fixed part is what Explorer sorts by; it must say the same version.
    report.check(numbers[:2] == (1, 2), f"the fixed file version is 1.2 ({'.'.join(map(str, numbers))})")


def check_manifest(report, found):
    data = found.get((RT_MANIFEST, 1))
    if not report.check(data is not None, "a manifest with id 1"):
        return
    try:
        root = ElementTree.fromstring(data)
    except ElementTree.ParseError as error:
        report.check(False, f"the manifest is well-formed XML ({error})")
        return

    def local(tag):
        return tag.rsplit("}", 1)[-1]

    elements = list(root.iter())
    levels = [e.get("level") for e in elements if local(e.tag) == "requestedExecutionLevel"]
    report.check(levels == ["asInvoker"], f"it runs as invoker (levels {levels})")
    # DPI-unaware: no dpiAware of true or per-monitor and no dpiAwareness, so the system
    # scales the program and one pixel stays 15 twips.
    aware = [(e.text or "").strip().lower() for e in elements if local(e.tag) == "dpiAware"]
    awareness = [e.text for e in elements if local(e.tag) == "dpiAwareness"]
    report.check(not awareness and all(a in ("false", "") for a in aware),
                 f"it is DPI-unaware (dpiAware {aware}, dpiAwareness {awareness})")
    controls = [e.get("version") for e in elements if local(e.tag) == "assemblyIdentity"
                and e.get("name") == "Microsoft.Windows.Common-Controls"]
    report.check(controls == ["6.0.0.0"], f"it asks for common controls 6 (versions {controls})")
    supported = {e.get("Id") for e in elements if local(e.tag) == "supportedOS"}
    windows10 = "{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}"
    report.check(windows10 in supported,
                 f"it names the supported Windows versions, 10 and 11 among them ({len(supported)} named)")


def main():
    if len(sys.argv) != 2:
        sys.exit("usage: check-pe-resources.py PROGRAM.exe")
    path = sys.argv[1]
    try:
        import pefile
    except ImportError:
        print("FAIL python3-pefile is missing: run tools/install-prereqs.sh")
        return 1
    try:
        pe = pefile.PE(path)
    except (OSError, pefile.PEFormatError) as error:
        print(f"FAIL {path} cannot be read ({error}): build it first (tools/build.sh)")
        return 1
    report = Report()
    kind = "PE32+" if pe.OPTIONAL_HEADER.Magic == 0x20B else "PE32"
    print(f"{path}: {kind}")
    found = resources(pe)
    check_icon(report, found)
    check_version(report, pe, found)
    check_manifest(report, found)
    print(f"{report.passed} passed, {report.failed} failed")
    return 0 if report.failed == 0 and report.passed > 0 else 1


if __name__ == "__main__":
    sys.exit(main())
