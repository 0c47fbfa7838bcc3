#!/usr/bin/python3
"""Checks Windows builds and their ZIPs as a user gets them.

  usage: /usr/bin/python3 .ci/check-windows-packages.py PACKAGES BUILD_DIR...
  e.g.   /usr/bin/python3 .ci/check-windows-packages.py dist build-windows-x86 build-windows-x64

Each BUILD_DIR is a Windows preset's build folder, and PACKAGES the folder
that holds the ZIP that scripts/package.sh made of it (dist/ after
scripts/release.sh).
The version expected is the project's, from that folder's CMakeCache.txt.
The ZIP must hold one folder with vwc.exe, README.txt, LICENSE.txt,
NOTICES.txt and counter.v, the text files' lines all ending in CR LF.  Both the built
vwc.exe and the one in the ZIP must carry that version, the manifest (run
as the invoker; Windows 7 to 11; nothing else) and the header flags below.

Debian's python3 and python3-pefile: run it with /usr/bin/python3, since
another python3 earlier on PATH may lack pefile.
"""
import re
import sys
import xml.etree.ElementTree as ET
import zipfile
from pathlib import Path

import pefile

# Per ZIP name suffix: the machine its vwc.exe is for, and the header flags
# it must have.  A 64-bit program is large-address-aware by default; the
# 32-bit one is linked so, to get 4 GiB of address space on 64-bit Windows.
# Address-space randomization needs the relocations kept.
EXPECTED = {
    "win32": ("IMAGE_FILE_MACHINE_I386",
              ["IMAGE_FILE_LARGE_ADDRESS_AWARE"],
              ["IMAGE_DLLCHARACTERISTICS_DYNAMIC_BASE", "IMAGE_DLLCHARACTERISTICS_NX_COMPAT"]),
    "win64": ("IMAGE_FILE_MACHINE_AMD64",
              ["IMAGE_FILE_LARGE_ADDRESS_AWARE"],
              ["IMAGE_DLLCHARACTERISTICS_DYNAMIC_BASE", "IMAGE_DLLCHARACTERISTICS_NX_COMPAT",
               "IMAGE_DLLCHARACTERISTICS_HIGH_ENTROPY_VA"]),
}
ZIP_FILES = {"vwc.exe", "README.txt", "LICENSE.txt", "NOTICES.txt", "counter.v"}
TEXT_FILES = ZIP_FILES - {"vwc.exe"}
SUPPORTED_OS = {
    "{35138b9a-5d96-4fbd-8e2d-a2440225f93a}",  # Windows 7
    "{4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38}",  # Windows 8
    "{1f676c76-80e1-4239-95bb-83d0f6d0da78}",  # Windows 8.1
    "{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}",  # Windows 10 and 11
}
# Every element the manifest may have: no DPI, code page or long path
# settings, nothing that changes how the program behaves.
ASM_V1, ASM_V3 = "urn:schemas-microsoft-com:asm.v1", "urn:schemas-microsoft-com:asm.v3"
COMPAT = "urn:schemas-microsoft-com:compatibility.v1"
MANIFEST_ELEMENTS = {
    f"{{{ASM_V1}}}assembly", f"{{{ASM_V3}}}trustInfo", f"{{{ASM_V3}}}security",
    f"{{{ASM_V3}}}requestedPrivileges", f"{{{ASM_V3}}}requestedExecutionLevel",
    f"{{{COMPAT}}}compatibility", f"{{{COMPAT}}}application", f"{{{COMPAT}}}supportedOS",
}

passed = failed = 0


def check(what, ok, detail=""):
    global passed, failed
    print(f"{'ok  ' if ok else 'FAIL'} {what}" + (f": {detail}" if detail and not ok else ""))
    if ok:
        passed += 1
    else:
        failed += 1


def from_cache(build, variable):
    cache = (build / "CMakeCache.txt").read_text()
    return re.search(rf"^{variable}:[A-Z]+=(.*)$", cache, re.M).group(1)


def string_file_info(pe):
    strings = {}
    for info in getattr(pe, "FileInfo", []):
        for entry in info:
            for table in getattr(entry, "StringTable", []):
                strings.update({k.decode(): v.decode() for k, v in table.entries.items()})
    return strings


def manifest(pe):
    """The RT_MANIFEST resources' ids and the data of id 1."""
    ids, data = [], None
    resources = getattr(pe, "DIRECTORY_ENTRY_RESOURCE", None)
    for kind in resources.entries if resources else []:
        if kind.id == pefile.RESOURCE_TYPE["RT_MANIFEST"]:
            for res in kind.directory.entries:
                ids.append(res.id)
                lang = res.directory.entries[0]
                if res.id == 1:
                    data = pe.get_data(lang.data.struct.OffsetToData, lang.data.struct.Size)
    return ids, data


def check_exe(name, data, suffix, version, copyright):
    machine, flags, dll_flags = EXPECTED[suffix]
    pe = pefile.PE(data=data)
    check(f"{name}: machine {machine}", pe.FILE_HEADER.Machine == pefile.MACHINE_TYPE[machine],
          hex(pe.FILE_HEADER.Machine))
    for flag in flags:
        check(f"{name}: {flag}", getattr(pe.FILE_HEADER, flag))
    for flag in dll_flags:
        check(f"{name}: {flag}", getattr(pe.OPTIONAL_HEADER, flag))
    relocs = pe.OPTIONAL_HEADER.DATA_DIRECTORY[pefile.DIRECTORY_ENTRY["IMAGE_DIRECTORY_ENTRY_BASERELOC"]]
    check(f"{name}: relocations kept", not pe.FILE_HEADER.IMAGE_FILE_RELOCS_STRIPPED and relocs.Size > 0)

    strings = string_file_info(pe)
    for key in ("FileVersion", "ProductVersion"):
        check(f"{name}: {key} {version}", strings.get(key) == version, strings.get(key))
    fixed = pe.VS_FIXEDFILEINFO[0] if hasattr(pe, "VS_FIXEDFILEINFO") else None
    numbers = [int(n) for n in version.split(".")] + [0] * (4 - len(version.split(".")))
    ms, ls = numbers[0] << 16 | numbers[1], numbers[2] << 16 | numbers[3]
    for key in ("FileVersion", "ProductVersion"):
        got = (getattr(fixed, key + "MS"), getattr(fixed, key + "LS")) if fixed else None
        check(f"{name}: fixed {key} {version}", got == (ms, ls), got)
    check(f"{name}: LegalCopyright has LICENSE's copyright line",
          copyright in strings.get("LegalCopyright", ""), strings.get("LegalCopyright"))

    ids, text = manifest(pe)
    check(f"{name}: one manifest, resource id 1", ids == [1], ids)
    root = ET.fromstring(text) if text else ET.Element(f"{{{ASM_V1}}}assembly")
    levels = [e.get("level") for e in root.iter(f"{{{ASM_V3}}}requestedExecutionLevel")]
    check(f"{name}: manifest asks for asInvoker", levels == ["asInvoker"], levels)
    oses = {e.get("Id") for e in root.iter(f"{{{COMPAT}}}supportedOS")}
    check(f"{name}: manifest names Windows 7, 8, 8.1, 10 and 11", oses == SUPPORTED_OS, oses)
    others = {e.tag for e in root.iter()} - MANIFEST_ELEMENTS
    check(f"{name}: manifest holds nothing else", not others, others)


def check_build(packages, build):
    version = from_cache(build, "CMAKE_PROJECT_VERSION")
    license = Path(from_cache(build, "CMAKE_HOME_DIRECTORY"), "LICENSE").read_text()
    copyright = re.search(r"^Copyright .*$", license, re.M).group(0)
    package_conf = (build / "package.conf").read_text()
    package = re.search(r"^folder='(.*)'$", package_conf, re.M).group(1)
    path = packages / f"{package}.zip"
    check(f"{path}: there, of version {version}", path.is_file() and f"-{version}-" in path.name)
    if not path.is_file():
        return
    folder, suffix = path.stem, path.stem.rsplit("-", 1)[1]
    with zipfile.ZipFile(path) as zip:
        files = {n for n in zip.namelist() if not n.endswith("/")}
        check(f"{path.name}: holds {folder}/ with {', '.join(sorted(ZIP_FILES))}",
              files == {f"{folder}/{n}" for n in ZIP_FILES}, sorted(files))
        for name in sorted(TEXT_FILES & {n.split("/")[-1] for n in files}):
            text = zip.read(f"{folder}/{name}")
            bare = text.replace(b"\r\n", b"")
            check(f"{path.name}: {name} ends every line in CR LF",
                  b"\n" not in bare and b"\r" not in bare and text.endswith(b"\r\n"))
        if f"{folder}/README.txt" in files:
            check(f"{path.name}: README.txt names vwc {version}",
                  f"vwc {version}".encode() in zip.read(f"{folder}/README.txt"))
        if f"{folder}/vwc.exe" in files:
            check_exe(f"{path.name}: vwc.exe", zip.read(f"{folder}/vwc.exe"), suffix, version, copyright)
    check_exe(f"{build}/vwc.exe", (build / "vwc.exe").read_bytes(), suffix, version, copyright)


def main():
    if len(sys.argv) < 3:
        sys.exit(__doc__)
    for build in sys.argv[2:]:
        check_build(Path(sys.argv[1]), Path(build))
    print(f"{passed} passed, {failed} failed")
    sys.exit(1 if failed or not passed else 0)


main()
