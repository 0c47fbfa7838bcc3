#!/usr/bin/python3
"""Writes the release's bill of materials, DIST/vwc-VERSION.cdx.json (CycloneDX 1.6).

  usage: python3 scripts/sbom.py DIST BUILD_DIR...
  e.g.   python3 scripts/sbom.py dist build-release/*

Each BUILD_DIR is a folder that scripts/package.sh packaged into DIST: its
package.conf names the packages, its vwc.map (the linker's map) tells what
went into the program.  Every file in DIST but SHA256SUMS, its signature and
this file is a component with its SHA-256.  Each package's program, hashed
as the package holds it, has as its own components what was linked into it
(the scanner engine that flex generated, the start files and runtime parts
of the C library and the compiler, each static archive member the linker
took), and depends on what it loads at run time (glibc, the DLLs an exe
imports).  Versions come from dpkg, libraries loaded at run time from the
program, members from the map.  Nothing depends on when or where it runs:
the time is SOURCE_DATE_EPOCH's, the serial number comes from the sums.
"""
import datetime
import hashlib
import io
import json
import os
import re
import subprocess
import sys
import tarfile
import tempfile
import urllib.parse
import uuid
import zipfile
from pathlib import Path

import pefile

# Debian packages whose files can be linked into vwc: the upstream project
# and its license as an SPDX expression.  Debian's copyright files do not
# use SPDX names, so this is kept by hand; a package missing here stops the
# bill of materials, so that a new toolchain is looked at.
UPSTREAMS = [
    (r"flex", "flex", "BSD-3-Clause-flex"),
    (r"musl-dev", "musl", "MIT"),
    (r"libc6(-dev)?(-\w+-cross)?", "glibc", "LGPL-2.1-or-later"),
    (r"libgcc-\d+-dev(-\w+-cross)?|gcc-mingw-w64-[\w-]+", "libgcc", "GPL-3.0-or-later WITH GCC-exception-3.1"),
    (r"mingw-w64-[\w-]+-dev", "MinGW-w64 runtime", "ZPL-2.1 AND LicenseRef-Public-Domain"),
]
WINDOWS_DLL_LICENSE = "LicenseRef-Microsoft-Windows"


def run(*command):
    return subprocess.run(command, capture_output=True, check=True).stdout


def sha256(data):
    return hashlib.sha256(data).hexdigest()


def read_conf(build):
    """package.conf's shell assignments, name='value'."""
    return dict(re.findall(r"^(\w+)='([^']*)'$", (build / "package.conf").read_text(), re.M))


def distro():
    release = dict(re.findall(r'^(\w+)="?([^"\n]*)"?$', Path("/etc/os-release").read_text(), re.M))
    return f"{release['ID']}-{release['VERSION_ID']}"


class Debian:
    """What dpkg says of the files the build used, asked once each."""

    def __init__(self):
        self.distro = distro()
        self.owners = {}

    def owner(self, path):
        """The installed package, name:arch, that holds path."""
        if path not in self.owners:
            candidates = [path, os.path.realpath(path)]
            # With a merged /usr, dpkg knows some files by their /lib path.
            candidates += [c[len("/usr"):] for c in candidates if c.startswith("/usr/lib")]
            for candidate in candidates:
                found = subprocess.run(["dpkg-query", "-S", candidate], capture_output=True, text=True)
                if found.returncode == 0:
                    name = found.stdout.splitlines()[0].rsplit(": ", 1)[0].split(", ")[0]
                    break
            else:
                sys.exit(f"sbom.py: no installed package holds {path}")
            self.owners[path] = self.package(name)
        return self.owners[path]

    @staticmethod
    def package(name):
        """(name, arch, version) of an installed package."""
        fields = run("dpkg-query", "-W", "-f=${Package}\t${Architecture}\t${Version}", name).decode()
        return tuple(fields.split("\t"))

    def purl(self, package, arch, version):
        epoch, _, upstream = version.rpartition(":")
        qualifiers = f"arch={arch}&distro={self.distro}" + (f"&epoch={epoch}" if epoch else "")
        return f"pkg:deb/debian/{package}@{urllib.parse.quote(upstream, safe='.-_~')}?{qualifiers}"


def upstream(package):
    for pattern, name, license in UPSTREAMS:
        if re.fullmatch(pattern, package):
            return name, license
    sys.exit(f"sbom.py: no upstream project or license known for the Debian package {package}")


def linked(map_file):
    """From the linker's map: each archive member taken, as (archive, member);
    each object file loaded; each shared library loaded.  Paths are absolute
    and normalized; vwc's own objects are left out.  The map's headings are
    in the builder's language: only its lines of paths are read.  A member
    taken starts a line of its own; the map indents every other mention."""
    members, objects, shared = set(), set(), set()
    for line in map_file.read_text().splitlines():
        member = re.match(r"(/\S+?\.a)\(([^)]+)\)", line)
        if member:
            members.add((os.path.normpath(member.group(1)), member.group(2)))
        load = re.match(r"LOAD (/\S+)$", line)
        if load:
            path = os.path.normpath(load.group(1))
            if re.search(r"\.(o|obj)$", path):
                objects.add(path)
            elif re.search(r"\.so(\.\d+)*$", path):
                shared.add(path)
    return sorted(members), sorted(objects), sorted(shared)


def program_bytes(package, inside):
    """The program as the package file holds it."""
    if package.name.endswith(".deb"):
        with tarfile.open(fileobj=io.BytesIO(run("dpkg-deb", "--fsys-tarfile", str(package)))) as tar:
            return tar.extractfile(f"./{inside}").read()
    if package.name.endswith(".rpm"):
        return run("sh", "-c", 'rpm2cpio "$1" | cpio -i --quiet --to-stdout "./$2"', "sh", str(package), inside)
    if package.name.endswith(".tar.gz"):
        with tarfile.open(package) as tar:
            return tar.extractfile(inside).read()
    with zipfile.ZipFile(package) as archive:
        return archive.read(inside)


def elf_needs(program):
    """The shared libraries an ELF program names, and its interpreter."""
    with tempfile.NamedTemporaryFile() as elf:
        elf.write(program)
        elf.flush()
        dynamic = run("readelf", "-dW", elf.name).decode()
        segments = run("readelf", "-lW", elf.name).decode()
    needed = re.findall(r"\(NEEDED\)\s+Shared library: \[([^\]]+)\]", dynamic)
    needed += [os.path.basename(p) for p in re.findall(r"Requesting program interpreter: ([^\]]+)\]", segments)]
    return sorted(set(needed))


def flex_version(build):
    """flex's Debian package, from the flex the build ran; checked against the
    version the generated scanner states."""
    cache = (build / "CMakeCache.txt").read_text()
    flex = re.search(r"^FLEX_EXECUTABLE:FILEPATH=(.*)$", cache, re.M).group(1)
    scanner = (build / "verilog.cpp").read_text()
    stated = ".".join(re.search(rf"#define YY_FLEX_{part}_VERSION (\d+)", scanner).group(1)
                      for part in ("MAJOR", "MINOR", "SUBMINOR"))
    return flex, stated


def component(ref, kind, name, version, license, **more):
    entry = {"type": kind, "bom-ref": ref, "name": name, "version": version}
    # A single SPDX identifier as such, so that validators check it.
    if license and " " not in license and not license.startswith("LicenseRef-"):
        entry["licenses"] = [{"license": {"id": license}}]
    elif license:
        entry["licenses"] = [{"expression": license}]
    entry.update((key, value) for key, value in more.items() if value)
    return entry


def properties(**values):
    return [{"name": f"vwc:{key.replace('_', '-')}", "value": value} for key, value in values.items() if value]


def file_parts(ref, parts):
    """Components for the files, (path, name) in order, that one package gave a program."""
    return [{"type": "file", "bom-ref": f"{ref}/{name}", "name": name, "properties": properties(path=path)}
            for path, name in parts]


class Bom:
    def __init__(self, dist, version):
        self.dist, self.version = dist, version
        self.debian = Debian()
        self.files = {}           # package file name: its component
        self.dependencies = []    # {"ref", "dependsOn"}
        self.runtime = []         # components loaded at run time, not held in any package

    def library(self, ref, path_package, linkage, files, description=None, **more):
        """A component for what one Debian package gave a program."""
        package, arch, version = path_package
        name, license = upstream(package)
        return component(ref, "library", name, version, license, description=description,
                         purl=self.debian.purl(package, arch, version),
                         properties=properties(linkage=linkage, debian_package=f"{package}:{arch}", **more),
                         components=files)

    def add_program(self, package_file, inside, conf, linked_in):
        data = program_bytes(package_file, inside)
        ref = f"{package_file.name}/{inside}"
        members, objects, shared, flex_package, stated = linked_in
        statics, needs = [], []

        statics.append(self.library(f"{ref}#flex", flex_package, "static", None,
                                    description=f"the scanner engine that flex {stated} generated, compiled into vwc"))
        # Start files and archive members, grouped by the package that holds them.
        by_package = {}
        for path in objects:
            by_package.setdefault(self.debian.owner(path), []).append((path, os.path.basename(path)))
        for archive, member in members:
            by_package.setdefault(self.debian.owner(archive), []).append(
                (archive, f"{os.path.basename(archive)}({member})"))
        for owner, parts in sorted(by_package.items()):
            lib_ref = f"{ref}#{owner[0]}:{owner[1]}"
            statics.append(self.library(lib_ref, owner, "static",
                                        file_parts(lib_ref, sorted(parts, key=lambda part: part[1]))))

        if data.startswith(b"\x7fELF"):
            depends = run("dpkg-deb", "-f", str(package_file), "Depends").decode().strip() \
                if package_file.name.endswith(".deb") else ""
            loaded = {os.path.basename(path): path for path in shared}
            by_package = {}
            for soname in elf_needs(data):
                if soname not in loaded:
                    sys.exit(f"sbom.py: {ref} needs {soname}, which the linker did not load")
                by_package.setdefault(self.debian.owner(loaded[soname]), []).append(loaded[soname])
            for owner, paths in sorted(by_package.items()):
                # A cross build links with the cross compiler's copy
                # (libc6-arm64-cross); at run time the machine's own package
                # is loaded (libc6:arm64), whose symbols gave the floor.
                base = re.sub(r"-\w+-cross$", "", owner[0])
                runtime = self.debian.package(f"{base}:{conf['debian_arch']}")
                lib_ref = f"{ref}#{runtime[0]}:{runtime[1]}"
                floor = ", ".join(d for d in depends.split(", ") if re.match(rf"{re.escape(base)}( |$)", d))
                self.runtime.append(self.library(
                    lib_ref, runtime, "dynamic", file_parts(lib_ref, [(p, os.path.basename(p)) for p in sorted(paths)]),
                    debian_requires=floor,
                    linked_with=f"{owner[0]}:{owner[1]} {owner[2]}",
                    description="loaded at run time, at least the version the package requires; "
                                "the version is the build machine's"))
                needs.append(lib_ref)
        else:
            import_libraries = {os.path.basename(archive).lower(): archive for archive, _ in members}
            pe = pefile.PE(data=data, fast_load=True)
            pe.parse_data_directories(directories=[pefile.DIRECTORY_ENTRY["IMAGE_DIRECTORY_ENTRY_IMPORT"]])
            for dll in sorted(entry.dll.decode() for entry in pe.DIRECTORY_ENTRY_IMPORT):
                library = import_libraries.get(f"lib{dll.lower().removesuffix('.dll')}.a")
                if not library:
                    sys.exit(f"sbom.py: {ref} imports {dll}, but the linker took no member of its import library")
                package, arch, version = self.debian.owner(library)
                dll_ref = f"{ref}#{dll}"
                self.runtime.append(component(
                    dll_ref, "library", dll, version, WINDOWS_DLL_LICENSE,
                    description=f"part of Windows, loaded at run time; the version is that of {package}, "
                                f"whose import library {os.path.basename(library)} vwc.exe was linked with",
                    properties=properties(linkage="dynamic", import_library=library,
                                          debian_package=f"{package}:{arch}")))
                needs.append(dll_ref)

        self.dependencies.append({"ref": ref, "dependsOn": [c["bom-ref"] for c in statics] + needs})
        return component(ref, "application", inside, self.version, "BSD-2-Clause",
                         hashes=[{"alg": "SHA-256", "content": sha256(data)}],
                         properties=properties(target=conf["target"]), components=statics)

    def add_build(self, build):
        conf = read_conf(build)
        program = conf["program"]
        # What went into the program, the same in each of the build's packages.
        flex, stated = flex_version(build)
        flex_package = self.debian.owner(flex)
        if not flex_package[2].startswith(stated):
            sys.exit(f"sbom.py: {build}/verilog.cpp says flex {stated}, dpkg says {flex_package[2]}")
        linked_in = (*linked(build / "vwc.map"), flex_package, stated)
        for name in (build / "packages").read_text().split():
            package_file = self.dist / name
            if name.endswith((".deb", ".rpm")):
                inside = f"usr/bin/{program}"
            else:
                inside = f"{conf['folder']}/{program}"
            self.files[name] = self.file(package_file, [self.add_program(package_file, inside, conf, linked_in)])
            self.dependencies.append({"ref": name, "dependsOn": [f"{name}/{inside}"]})

    def file(self, path, programs=None):
        entry = component(path.name, "file", path.name, self.version, None,
                          hashes=[{"alg": "SHA-256", "content": sha256(path.read_bytes())}])
        if programs:
            entry["components"] = programs
        return entry

    def write(self, out):
        for path in sorted(self.dist.iterdir()):
            if path.name not in self.files and path.name not in ("SHA256SUMS", "SHA256SUMS.asc", out.name):
                self.files[path.name] = self.file(path)
        sums = "".join(f"{c['hashes'][0]['content']}  {name}\n" for name, c in sorted(self.files.items()))
        epoch = int(os.environ["SOURCE_DATE_EPOCH"])
        bom = {
            "bomFormat": "CycloneDX",
            "specVersion": "1.6",
            "serialNumber": f"urn:uuid:{uuid.uuid5(uuid.NAMESPACE_URL, 'vwc release ' + sha256(sums.encode()))}",
            "version": 1,
            "metadata": {
                "timestamp": datetime.datetime.fromtimestamp(epoch, datetime.timezone.utc).strftime("%Y-%m-%dT%H:%M:%SZ"),
                "lifecycles": [{"phase": "build"}],
                "tools": {"components": [{"type": "application", "name": "vwc scripts/sbom.py", "version": self.version}]},
                "component": component("vwc", "application", "vwc", self.version, "BSD-2-Clause",
                                       supplier={"name": "vwc developers"}),
            },
            "components": [self.files[name] for name in sorted(self.files)] +
                          sorted(self.runtime, key=lambda c: c["bom-ref"]),
            "dependencies": [{"ref": "vwc", "dependsOn": sorted(self.files)}] +
                            sorted(self.dependencies, key=lambda d: d["ref"]),
        }
        out.write_text(json.dumps(bom, indent=2) + "\n")


def main():
    if len(sys.argv) < 3:
        sys.exit(__doc__)
    # readelf's and dpkg's words as read here, whatever the builder's locale.
    os.environ["LC_ALL"] = "C"
    dist = Path(sys.argv[1])
    builds = [Path(b) for b in sys.argv[2:]]
    version = read_conf(builds[0])["version"]
    bom = Bom(dist, version)
    for build in builds:
        bom.add_build(build)
    out = dist / f"vwc-{version}.cdx.json"
    bom.write(out)
    print(out)


main()
