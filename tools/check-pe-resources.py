#!/usr/bin/python3
"""Checks the resources an edgepad.exe carries, as Windows reads them from the file: the
icon group 1 with an image for every size Windows asks for at 100-200 % display scale, the
version record with FileVersion and ProductVersion "1.02", and the manifest (run as invoker,
per-monitor DPI aware, common controls 6, supported Windows versions).
    tools/check-pe-resources.py PROGRAM.exe
Prints a line per check and exits non-zero when one fails."""
import struct
import sys
import xml.etree.ElementTree as ElementTree

RT_ICON, RT_GROUP_ICON, RT_VERSION, RT_MANIFEST = 3, 14, 16, 24
VERSION = "1.02"
ICON_SIZES = [16, 20, 24, 32, 40, 48, 64, 256]
# Windows reads each setting only in its own namespace and ignores it silently elsewhere.
DPI_AWARE_NAMESPACE = "http://schemas.microsoft.com/SMI/2005/WindowsSettings"
DPI_AWARENESS_NAMESPACE = "http://schemas.microsoft.com/SMI/2016/WindowsSettings"


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


def image_format(data):
    """How one icon image is stored: "PNG", "N-bit" for a DIB of N bits a pixel, or None."""
    if data[:8] == b"\x89PNG\r\n\x1a\n":
        return "PNG"
    if len(data) >= 16 and struct.unpack("<I", data[:4])[0] == 40:
        return f"{struct.unpack('<H', data[14:16])[0]}-bit"
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
        width, height = width or 256, height or 256
        image = found.get((RT_ICON, image_id), b"")
        actual, stored = image_size(image), image_format(image)
        report.check(actual == (width, height),
                     f"icon image {image_id} is {width}x{height} as its group says"
                     f" (it is {actual}, {stored})")
        sizes.append((width, height))
    names = ", ".join(f"{width}x{height}" for width, height in sizes)
    report.check(kind == 1 and sorted(sizes) == [(size, size) for size in ICON_SIZES],
                 f"the icon has one image of each size {ICON_SIZES} (it has {names})")


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
    # Per-monitor aware, so that the system never stretches the panel: Windows 10 reads
    # dpiAwareness from 1607 on and takes the first value it knows (PerMonitorV2 from 1703
    # on); Windows 8.1 reads dpiAware.
    def setting(name, namespace):
        return [(e.text or "").strip() for e in elements if e.tag == f"{{{namespace}}}{name}"]

    awareness = setting("dpiAwareness", DPI_AWARENESS_NAMESPACE)
    first = [a.split(",")[0].strip().lower() for a in awareness]
    report.check(first == ["permonitorv2"],
                 f"it asks for per-monitor (v2) DPI awareness first (dpiAwareness {awareness})")
    aware = setting("dpiAware", DPI_AWARE_NAMESPACE)
    report.check([a.lower() for a in aware] == ["true/pm"],
                 f"it is per-monitor DPI aware where dpiAwareness is unknown (dpiAware {aware})")
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
