#!/usr/bin/env python3
"""Checks a built program file without running it: the machine type, that
it imports only the few system DLLs that every mode needs (the rest it loads
from the system folder when a mode first calls them), that every library it
names is one a clean Windows 7 SP1 has, that its resources hold the version
resource and a manifest for the right processor (and, for the screensaver
file, the product name as string 1; for the main program, its icon), and its
hardening: ASLR (with relocations to move it) and DEP, high-entropy ASLR in
the 64-bit program, no section both writable and executable.

    inspect_pe.py FILE --machine i386|amd64 [--kind screensaver|main]
    inspect_pe.py FILE --machine i386|amd64 [--kind ...] --doctored
        proves the hardening checks: copies of FILE, each lacking one
        protection, must each be refused for it
"""
import re
import struct
import sys

# Imported as usual: what every mode needs, all of them among Windows' known
# DLLs, which are never looked for beside the program.
IMPORTED_DLLS = {"kernel32.dll", "advapi32.dll", "msvcrt.dll"}
# Every library a program may import or load by name: what a clean Windows 7
# SP1 has (and every later Windows). No redistributable (D3DX above all).
WINDOWS7_LIBRARIES = {
    "advapi32.dll", "comctl32.dll", "comdlg32.dll", "d3d9.dll", "d3d11.dll", "ddraw.dll", "dxgi.dll",
    "gdi32.dll", "kernel32.dll", "mpr.dll", "msvcrt.dll", "ntdll.dll", "ole32.dll", "oleaut32.dll",
    "shell32.dll", "shlwapi.dll", "urlmon.dll", "user32.dll", "uxtheme.dll", "version.dll", "wininet.dll",
    "winmm.dll",
    # The wallpaper's: the session's and the compositor's notifications.
    "dwmapi.dll", "wtsapi32.dll",
    # The audio's: Media Foundation (absent from N editions, whose formats
    # the program then skips) and the audio thread's scheduling class.
    "mfplat.dll", "mfreadwrite.dll", "avrt.dll",
}
# The two programs: the file name the version resource gives and what the
# manifest must say.
KINDS = {
    "screensaver": {"file": "Sorvane 3D Screensaver.scr", "string1": True, "icon": False,
                    "manifest": ("Quenvale.Sorvane_3D_Screensaver", "Microsoft.Windows.Common-Controls",
                                 "PerMonitorV2")},
    "main": {"file": "Sorvane 3D Screensaver.exe", "string1": False, "icon": True,
             "manifest": ("Quenvale.Sorvane_3D_Screensaver", "PerMonitorV2", "<dpiAware", 'level="asInvoker"',
                          "{35138b9a-5d96-4fbd-8e2d-a2440225f93a}", "{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}")},
}
MACHINES = {"i386": 0x14C, "amd64": 0x8664}
MANIFEST_ARCH = {"i386": "x86", "amd64": "amd64"}
RT_STRING, RT_GROUP_ICON, RT_VERSION, RT_MANIFEST = 6, 14, 16, 24
RELOCS_STRIPPED = 0x0001
HIGH_ENTROPY_VA, DYNAMIC_BASE, NX_COMPAT = 0x0020, 0x0040, 0x0100
SCN_MEM_EXECUTE, SCN_MEM_WRITE = 0x20000000, 0x80000000


class Pe:
    def __init__(self, data):
        self.data = data
        pe = struct.unpack_from("<I", data, 0x3C)[0]
        if data[pe:pe + 4] != b"PE\0\0":
            raise ValueError("not a PE file")
        self.machine, sections, _, _, _, optional_size, self.characteristics = struct.unpack_from(
            "<HHIIIHH", data, pe + 4)
        self.characteristics_at = pe + 22
        optional = pe + 24
        magic = struct.unpack_from("<H", data, optional)[0]
        self.dll_characteristics_at = optional + 70
        self.dll_characteristics = struct.unpack_from("<H", data, self.dll_characteristics_at)[0]
        directories = optional + (96 if magic == 0x10B else 112)
        self.directories_at = directories
        self.directories = [struct.unpack_from("<II", data, directories + 8 * i) for i in range(16)]
        self.sections = []
        self.section_flags = []  # (name, characteristics, offset of the characteristics)
        table = optional + optional_size
        for i in range(sections):
            name, vsize, vaddr, rawsize, rawptr = struct.unpack_from("<8sIIII", data, table + 40 * i)
            self.sections.append((vaddr, max(vsize, rawsize), rawptr))
            at = table + 40 * i + 36
            self.section_flags.append((name.rstrip(b"\0").decode("ascii", "replace"),
                                       struct.unpack_from("<I", data, at)[0], at))

    def offset(self, rva):
        for vaddr, size, rawptr in self.sections:
            if vaddr <= rva < vaddr + size:
                return rva - vaddr + rawptr
        raise ValueError("address outside every section: %#x" % rva)

    def cstring(self, offset):
        return self.data[offset:self.data.index(b"\0", offset)].decode("ascii")

    def imports(self):
        rva, _ = self.directories[1]
        names, at = [], self.offset(rva)
        while True:
            fields = struct.unpack_from("<IIIII", self.data, at)
            if not any(fields):
                return names
            names.append(self.cstring(self.offset(fields[3])))
            at += 20

    def resources(self):
        """{(type, name): bytes} for the first language of each resource."""
        base_rva, _ = self.directories[2]
        base = self.offset(base_rva)

        def entries(directory):
            named, ids = struct.unpack_from("<HH", self.data, directory + 12)
            for i in range(named + ids):
                ident, target = struct.unpack_from("<II", self.data, directory + 16 + 8 * i)
                yield ident, target

        found = {}
        for rtype, type_dir in entries(base):
            for rname, name_dir in entries(base + (type_dir & 0x7FFFFFFF)):
                for _, leaf in entries(base + (name_dir & 0x7FFFFFFF)):
                    rva, size = struct.unpack_from("<II", self.data, base + leaf)[:2]
                    start = self.offset(rva)
                    found[(rtype, rname)] = self.data[start:start + size]
                    break
        return found


def string_from_table(block, index):
    at = 0
    for i in range(16):
        length = struct.unpack_from("<H", block, at)[0]
        text = block[at + 2:at + 2 + 2 * length].decode("utf-16-le")
        if i == index:
            return text
        at += 2 + 2 * length
    return None


def hardening_problems(pe, machine):
    problems = []
    wanted = [(DYNAMIC_BASE, "DYNAMIC_BASE (ASLR)"), (NX_COMPAT, "NX_COMPAT (DEP)")]
    if machine == "amd64":
        wanted.append((HIGH_ENTROPY_VA, "HIGH_ENTROPY_VA (64-bit ASLR)"))
    for flag, what in wanted:
        if not pe.dll_characteristics & flag:
            problems.append("not marked " + what)
    # Windows places a file without relocations at its preferred address,
    # whatever DYNAMIC_BASE says.
    if pe.characteristics & RELOCS_STRIPPED or not pe.directories[5][1]:
        problems.append("no base relocations, so ASLR cannot move it")
    for name, flags, _ in pe.section_flags:
        if flags & SCN_MEM_WRITE and flags & SCN_MEM_EXECUTE:
            problems.append("section %s is both writable and executable" % name)
    return problems


def named_libraries(data):
    """The library names the file holds as UTF-16 text (the delay-loaded ones
    and those loaded by name), lower case."""
    pattern = re.compile(rb"(?:[A-Za-z0-9_.\-]\x00)+?\.\x00[dD]\x00[lL]\x00[lL]\x00")
    names = set()
    for match in pattern.finditer(data):
        text = match.group()
        # The last letter of an ASCII text before it, with its terminator,
        # reads as one UTF-16 character: it is not part of the name.
        if match.start() > 0 and chr(data[match.start() - 1]).isalnum():
            text = text[2:]
        names.add(text.decode("utf-16-le").lower())
    return sorted(names)


def problems_of(data, machine, kind="screensaver"):
    pe = Pe(data)
    wanted = KINDS[kind]
    problems = []
    if pe.machine != MACHINES[machine]:
        problems.append("machine %#x, expected %s" % (pe.machine, machine))
    imports = pe.imports()
    others = [name for name in imports if name.lower() not in IMPORTED_DLLS]
    if others:
        problems.append("imports DLLs it must load when a mode needs them: " + ", ".join(others))
    foreign = [name for name in named_libraries(data) if name not in WINDOWS7_LIBRARIES]
    if foreign:
        problems.append("names libraries a clean Windows 7 SP1 lacks: " + ", ".join(foreign))
    if re.search(rb"d\x00?3\x00?d\x00?x\x00?[0-9]", data, re.IGNORECASE):
        problems.append("mentions D3DX, which Windows does not have")
    resources = pe.resources()
    if wanted["string1"]:
        table = resources.get((RT_STRING, 1))
        name = table and string_from_table(table, 1)
        if name != "Sorvane 3D Screensaver":
            problems.append("string 1 is %r" % name)
    if wanted["icon"] and not any(rtype == RT_GROUP_ICON for rtype, _ in resources):
        problems.append("no icon")
    version = resources.get((RT_VERSION, 1))
    if not version:
        problems.append("no version resource")
    else:
        fixed = version.find(struct.pack("<I", 0xFEEF04BD))
        ms, ls = struct.unpack_from("<II", version, fixed + 8)
        if (ms >> 16, ms & 0xFFFF, ls >> 16, ls & 0xFFFF) != (1, 0, 0, 5):
            problems.append("file version is not 1.0.0.5")
        for text in (wanted["file"], "1.0.0.5"):
            if text.encode("utf-16-le") not in version:
                problems.append("version resource lacks %r" % text)
    manifest = resources.get((RT_MANIFEST, 1), b"").decode("utf-8", "replace")
    if 'processorArchitecture="%s"' % MANIFEST_ARCH[machine] not in manifest:
        problems.append("manifest missing or for another processor")
    for text in wanted["manifest"]:
        if text not in manifest:
            problems.append("manifest lacks %r" % text)
    return pe, imports, problems + hardening_problems(pe, machine)


def doctored_copies(data, machine):
    """(what was taken away, the problem it must cause, the doctored bytes)"""
    pe = Pe(data)

    def with_u16(at, value):
        copy = bytearray(data)
        struct.pack_into("<H", copy, at, value)
        return bytes(copy)

    def with_u32(at, value):
        copy = bytearray(data)
        struct.pack_into("<I", copy, at, value)
        return bytes(copy)

    flags = pe.dll_characteristics
    cases = [("DYNAMIC_BASE", "not marked DYNAMIC_BASE", with_u16(pe.dll_characteristics_at, flags & ~DYNAMIC_BASE)),
             ("NX_COMPAT", "not marked NX_COMPAT", with_u16(pe.dll_characteristics_at, flags & ~NX_COMPAT)),
             ("relocations", "no base relocations",
              with_u16(pe.characteristics_at, pe.characteristics | RELOCS_STRIPPED)),
             ("a relocation table", "no base relocations", with_u32(pe.directories_at + 8 * 5 + 4, 0))]
    if machine == "amd64":
        cases.append(("HIGH_ENTROPY_VA", "not marked HIGH_ENTROPY_VA",
                      with_u16(pe.dll_characteristics_at, flags & ~HIGH_ENTROPY_VA)))
    # A library name outside the allow-list (a Direct3D 9 helper in place of Direct3D 9).
    d3d9 = "d3d9.dll".encode("utf-16-le")
    if d3d9 in data:
        cases.append(("only Windows 7's libraries", "names libraries a clean Windows 7 SP1 lacks",
                      data.replace(d3d9, "d3dq.dll".encode("utf-16-le"), 1)))
    name, section, at = next((n, f, a) for n, f, a in pe.section_flags if f & SCN_MEM_EXECUTE)
    cases.append(("a read-only %s" % name, "section %s is both writable and executable" % name,
                  with_u32(at, section | SCN_MEM_WRITE)))
    return cases


def main():
    path, machine = sys.argv[1], sys.argv[sys.argv.index("--machine") + 1]
    kind = sys.argv[sys.argv.index("--kind") + 1] if "--kind" in sys.argv else "screensaver"
    data = open(path, "rb").read()
    if "--doctored" in sys.argv:
        failures = 0
        original = problems_of(data, machine, kind)[2]
        for taken, expected, copy in doctored_copies(data, machine):
            if any(p.startswith(expected) for p in original):
                print("%s lacks %s already, which proves nothing" % (path, taken))
                failures += 1
                continue
            found = [p for p in problems_of(copy, machine, kind)[2] if p.startswith(expected)]
            print("%s without %s: %s" % (path, taken, found[0] if found else "NOT NOTICED"))
            failures += not found
        return 1 if failures else 0
    pe, imports, problems = problems_of(data, machine, kind)
    print("%s: %s, %d bytes, imports %s" % (path, machine, len(data), ", ".join(imports)))
    print("  names libraries %s" % ", ".join(named_libraries(data)))
    sections = ", ".join("%s %s%s" % (n, "w" if f & SCN_MEM_WRITE else "", "x" if f & SCN_MEM_EXECUTE else "")
                         for n, f, _ in pe.section_flags)
    print("  dll characteristics %#06x; sections %s" % (pe.dll_characteristics, sections))
    for problem in problems:
        print("  problem: " + problem)
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
