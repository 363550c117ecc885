#!/usr/bin/env python3
"""Checks tavix.exe and tavixc.exe as they lie in the release archive: what
the resource compiler put into them (the dialog templates, with their
styles, positions, ids, tab order, fonts and Japanese texts, in tavix.exe;
the version resource and the manifest in both), and the Windows they ask
for: every function they import is in the list of imports, whose oldest
Windows for each is no newer than the one README.md and the archive's
guide state, and their PE headers and manifests name that Windows too.
The version is the project's, which CMake hands over."""
import argparse
import re
import struct
import sys
import xml.etree.ElementTree as ET
import zipfile

import pefile

WS_POPUP, WS_CHILD, WS_VISIBLE, WS_DISABLED = 0x80000000, 0x40000000, 0x10000000, 0x08000000
WS_CAPTION, WS_BORDER, WS_SYSMENU = 0x00C00000, 0x00800000, 0x00080000
WS_VSCROLL, WS_HSCROLL, WS_MINIMIZEBOX, WS_TABSTOP = 0x00200000, 0x00100000, 0x00020000, 0x00010000
DS_SETFONT, DS_MODALFRAME, DS_CENTER = 0x40, 0x80, 0x800
LBS_NOTIFY, LBS_NOINTEGRALHEIGHT, LBS_EXTENDEDSEL, LBS_DISABLENOSCROLL = 0x1, 0x100, 0x800, 0x1000
BS_PUSHBUTTON, BS_DEFPUSHBUTTON, BS_AUTOCHECKBOX = 0, 1, 3
ES_MULTILINE, ES_READONLY = 0x4, 0x800
BUTTON, EDIT, LISTBOX = 0x80, 0x81, 0x83
CHILD = WS_CHILD | WS_VISIBLE
PUSH = CHILD | BS_PUSHBUTTON | WS_TABSTOP
DIALOG_FONT = (9, "ＭＳ Ｐゴシック")

# id: (style, (x, y, cx, cy), title, font, [(id, class, style, (x, y, cx, cy), text)] in tab order)
EXPECTED_DIALOGS = {
    101: (WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | DS_MODALFRAME | DS_CENTER | DS_SETFONT,
          (0, 0, 223, 147), "Morvex News System Checker", DIALOG_FONT, [
              (1000, LISTBOX, CHILD | LBS_NOTIFY | LBS_EXTENDEDSEL | LBS_NOINTEGRALHEIGHT | LBS_DISABLENOSCROLL
               | WS_BORDER | WS_VSCROLL | WS_TABSTOP, (8, 8, 140, 112), ""),
              (4, BUTTON, PUSH, (157, 35, 58, 14), "全選択(&A)"),
              (5, BUTTON, PUSH, (157, 55, 58, 14), "選択の切替(&I)"),
              (1003, BUTTON, PUSH | WS_DISABLED, (157, 85, 58, 14), "簡易チェック(&C)"),
              (1002, BUTTON, PUSH, (157, 105, 58, 14), "見積(&V)"),
              (3, BUTTON, PUSH, (157, 125, 58, 14), "偽デフラグ(&D)"),
              (1006, BUTTON, CHILD | BS_AUTOCHECKBOX | WS_TABSTOP, (8, 125, 140, 14), "真デフラグの見積りも表示する(&S)"),
              (2, BUTTON, PUSH, (157, 8, 58, 14), "閉じる"),
          ]),
    102: (WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_SETFONT,
          (0, 0, 303, 175), "偽デフラグ結果", DIALOG_FONT, [
              (1, BUTTON, CHILD | BS_DEFPUSHBUTTON | WS_TABSTOP, (126, 154, 50, 14), "OK"),
              (1005, EDIT, CHILD | ES_MULTILINE | ES_READONLY | WS_BORDER | WS_VSCROLL | WS_HSCROLL | WS_TABSTOP,
               (7, 7, 289, 140), ""),
          ]),
}
CLASS_ATOMS = {"button": BUTTON, "edit": EDIT, "listbox": LISTBOX}
SHIPPED_DLLS = {"kernel32.dll", "user32.dll", "gdi32.dll", "advapi32.dll", "comctl32.dll", "msvcrt.dll",
                "shell32.dll", "version.dll"}
# Windows as the texts and the list of imports name them, with the version
# Windows gives itself (major, minor, build).
WINDOWS = {"2000": (5, 0, 0), "XP": (5, 1, 0), "Vista": (6, 0, 0), "7": (6, 1, 0), "8": (6, 2, 0),
           "8.1": (6, 3, 0), "10": (10, 0, 10240), "10 1607": (10, 0, 14393), "11": (10, 0, 22000)}
# The manifest's supportedOS ids, each with the Windows it names (the last
# one names Windows 10 and 11).
SUPPORTED_OS = {"{e2011457-1546-43c5-a5fe-008deee3d3f0}": "Vista", "{35138b9a-5d96-4fbd-8e2d-a2440225f93a}": "7",
                "{4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38}": "8", "{1f676c76-80e1-4239-95bb-83d0f6d0da78}": "8.1",
                "{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}": "10"}

failures = []


def check(what, actual, expected):
    if actual != expected:
        failures.append(f"{what}: {actual!r}, expected {expected!r}")


def text_or_ordinal(data, pos):
    """A resource name field: 0xFFFF and an ordinal, or a zero-ended UTF-16 string."""
    if struct.unpack_from("<H", data, pos)[0] == 0xFFFF:
        return struct.unpack_from("<H", data, pos + 2)[0], pos + 4
    end = pos
    while struct.unpack_from("<H", data, end)[0] != 0:
        end += 2
    return data[pos:end].decode("utf-16-le"), end + 2


def parse_dialog(data):
    """A DIALOG (not DIALOGEX) template."""
    style, _, count, x, y, cx, cy = struct.unpack_from("<IIHhhhh", data, 0)
    _, pos = text_or_ordinal(data, 18)  # menu
    _, pos = text_or_ordinal(data, pos)  # class
    title, pos = text_or_ordinal(data, pos)
    font = None
    if style & DS_SETFONT:
        points = struct.unpack_from("<H", data, pos)[0]
        face, pos = text_or_ordinal(data, pos + 2)
        font = (points, face)
    items = []
    for _ in range(count):
        pos = (pos + 3) & ~3
        item_style, _, ix, iy, icx, icy, item_id = struct.unpack_from("<IIhhhhH", data, pos)
        cls, pos = text_or_ordinal(data, pos + 18)
        text, pos = text_or_ordinal(data, pos)
        extra = struct.unpack_from("<H", data, pos)[0]
        pos += 2 + extra
        cls = CLASS_ATOMS.get(cls.lower(), cls) if isinstance(cls, str) else cls
        items.append((item_id, cls, item_style, (ix, iy, icx, icy), text))
    return style, (x, y, cx, cy), title, font, items


def resources(pe):
    """{(type, id): (language, bytes)}"""
    found = {}
    for rtype in pe.DIRECTORY_ENTRY_RESOURCE.entries:
        for rid in rtype.directory.entries:
            for lang in rid.directory.entries:
                entry = lang.data.struct
                found[(rtype.id, rid.id)] = (lang.id, pe.get_data(entry.OffsetToData, entry.Size))
    return found


def check_dialogs(found):
    for dialog_id, expected in EXPECTED_DIALOGS.items():
        language, data = found.get((pefile.RESOURCE_TYPE["RT_DIALOG"], dialog_id), (None, b""))
        check(f"dialog {dialog_id} language", language, 0x0411)
        if not data:
            continue
        style, rect, title, font, items = parse_dialog(data)
        for what, actual, wanted in zip(("style", "position", "title", "font"),
                                        (style, rect, title, font), expected[:4]):
            check(f"dialog {dialog_id} {what}", actual, wanted)
        check(f"dialog {dialog_id} control count", len(items), len(expected[4]))
        for actual, wanted in zip(items, expected[4]):
            check(f"dialog {dialog_id} control {wanted[0]}", actual, wanted)


def check_version(pe, found, description, version):
    check("version language", found.get((pefile.RESOURCE_TYPE["RT_VERSION"], 1), (None,))[0], 0x0411)
    fixed = pe.VS_FIXEDFILEINFO[0]
    major, minor, patch, tweak = (int(part) for part in version.split("."))
    numbers = (major << 16 | minor, patch << 16 | tweak)
    check("file version", (fixed.FileVersionMS, fixed.FileVersionLS), numbers)
    check("product version", (fixed.ProductVersionMS, fixed.ProductVersionLS), numbers)
    check("file type (application) and OS (32-bit Windows)", (fixed.FileType, fixed.FileOS), (1, 4))
    tables = {}
    translations = []
    for info in pe.FileInfo[0]:
        for table in getattr(info, "StringTable", []):
            tables[table.LangID] = {k.decode(): v.decode() for k, v in table.entries.items()}
        for var in getattr(info, "Var", []):
            translations.append(var.entry.get(b"Translation"))
    check("string tables", list(tables), [b"041104b0"])
    strings = tables.get(b"041104b0", {})
    check("description", strings.get("FileDescription"), description)
    check("file version text", strings.get("FileVersion"), version)
    check("translation", translations, ["0x0411 0x04b0"])


def check_manifest(found, version, oldest):
    _, data = found.get((pefile.RESOURCE_TYPE["RT_MANIFEST"], 1), (None, b""))
    if not data:
        failures.append("no manifest resource 1")
        return
    root = ET.fromstring(data)
    everything = list(root.iter())

    def named(tag):
        return [e for e in everything if e.tag.split("}")[-1] == tag]
    check("assembly version", [e.get("version") for e in named("assemblyIdentity") if e.get("name") == "ULBAR.tavix"],
          [version])
    check("execution level", [e.get("level") for e in named("requestedExecutionLevel")], ["asInvoker"])
    if oldest:
        check("supported systems, from the oldest Windows the texts state on",
              sorted(SUPPORTED_OS.get(e.get("Id"), e.get("Id")) for e in named("supportedOS")),
              sorted(name for name in SUPPORTED_OS.values() if WINDOWS[name] >= WINDOWS[oldest]))
    check("DPI awareness", [e.text for e in named("dpiAware")], ["true"])
    check("code page asked for", [e.text for e in named("activeCodePage")], ["ja-JP"])
    controls = [e for e in named("assemblyIdentity") if e.get("name") == "Microsoft.Windows.Common-Controls"]
    check("common controls", [e.get("version") for e in controls], ["6.0.0.0"])


def stated_oldest_windows(readme, guide):
    """The Windows that the 動作環境 sections of README.md and the guide
    name as the oldest the programs run on, or None where they do not agree."""
    stated = []
    for name, text, pattern in (("README.md", readme, r"Windows (\S+(?: \d{4})?) or later"),
                                ("the guide", guide, r"Windows (\S+(?: \d{4})?) 以降")):
        section = re.search(r"^\W*動作環境.*?$(.*?)^(?:#|■)", text, re.M | re.S)
        found = section and re.search(pattern, section.group(1))
        if not found or found.group(1) not in WINDOWS:
            failures.append(f"{name} names no Windows of {sorted(WINDOWS)} in its 動作環境 section")
            return None
        stated.append(found.group(1))
    check("the oldest Windows the guide states, as README.md states it", stated[1], stated[0])
    return stated[0] if stated[0] == stated[1] else None


def read_imports_list(path):
    """{(dll, function): oldest Windows} from the list kept in the tree."""
    oldest = {}
    with open(path, encoding="utf-8") as f:
        for number, line in enumerate(f, 1):
            fields = line.split("#", 1)[0].split(None, 2)
            if not fields:
                continue
            if len(fields) != 3 or fields[2].strip() not in WINDOWS:
                failures.append(f"{path}:{number}: not 'DLL function Windows' with a Windows of {sorted(WINDOWS)}")
                continue
            oldest[(fields[0].lower(), fields[1])] = fields[2].strip()
    return oldest


def check_imports(program, pe, listed):
    for entry in pe.DIRECTORY_ENTRY_IMPORT:
        dll = entry.dll.decode().lower()
        if dll not in SHIPPED_DLLS:
            failures.append(f"{program} needs {dll}, which Windows does not ship")
        for function in entry.imports:
            name = function.name.decode() if function.name else f"#{function.ordinal}"
            if (dll, name) not in listed:
                failures.append(f"{program} imports {name} from {dll}, which the list of imports lacks: add it "
                                "with the oldest Windows that Microsoft's documentation gives for it")


def check_program(program, data, description, subsystem, dialogs, version, listed, oldest):
    pe = pefile.PE(data=data)
    found = resources(pe)
    if dialogs:
        check_dialogs(found)
    check_version(pe, found, description, version)
    check_manifest(found, version, oldest)
    check("subsystem", pe.OPTIONAL_HEADER.Subsystem, pefile.SUBSYSTEM_TYPE[subsystem])
    check("machine", pe.FILE_HEADER.Machine, pefile.MACHINE_TYPE["IMAGE_FILE_MACHINE_I386"])
    check_imports(program, pe, listed)
    if oldest:
        header = pe.OPTIONAL_HEADER
        check(f"{program}: PE header's OS and subsystem versions",
              (header.MajorOperatingSystemVersion, header.MinorOperatingSystemVersion,
               header.MajorSubsystemVersion, header.MinorSubsystemVersion), WINDOWS[oldest][:2] * 2)


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    for option in ("--version", "--imports", "--readme"):
        parser.add_argument(option, required=True)
    parser.add_argument("archive")
    args = parser.parse_args()
    with open(args.readme, encoding="utf-8") as f:
        readme = f.read()
    with zipfile.ZipFile(args.archive) as zipped:
        guide = zipped.read("README-ja.txt").decode("cp932")
        programs = {name: zipped.read(name) for name in ("tavix.exe", "tavixc.exe")}
    oldest = stated_oldest_windows(readme, guide)
    listed = read_imports_list(args.imports)
    if oldest:
        for (dll, name), windows in sorted(listed.items()):
            if WINDOWS[windows] > WINDOWS[oldest]:
                failures.append(f"{name} ({dll}) needs Windows {windows}, newer than Windows {oldest}, "
                                "the oldest that README.md and the guide state")
    check_program("tavix.exe", programs["tavix.exe"], "Morvex News System Checker", "IMAGE_SUBSYSTEM_WINDOWS_GUI",
                  True, args.version, listed, oldest)
    check_program("tavixc.exe", programs["tavixc.exe"], "Morvex News System Checker (command line)",
                  "IMAGE_SUBSYSTEM_WINDOWS_CUI", False, args.version, listed, oldest)
    for failure in failures:
        print("FAIL", failure)
    print(f"{len(failures)} failure(s); the oldest Windows stated: {oldest}, {len(listed)} imports listed")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
