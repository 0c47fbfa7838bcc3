#!/usr/bin/python3
"""Checks a release's bill of materials against the packages themselves.

  usage: /usr/bin/python3 .ci/check-sbom.py DIST RELEASE_BUILD
  e.g.   /usr/bin/python3 .ci/check-sbom.py dist build-release

DIST holds the release, RELEASE_BUILD the folders release.sh built it in.
Each file in DIST but SHA256SUMS and its signature is a component with its
SHA-256, and SHA256SUMS lists the bill itself.  Each program names the flex
engine.  Each DLL that objdump -p lists for each exe is a dependency of that
exe.  The portable programs' musl is the version dpkg gives, and no iconv
member is listed, while nm on the unstripped program finds no iconv symbol.
(.ci/sbom/check.sh runs this after checking the bill against CycloneDX's schema.)
"""
import hashlib
import json
import re
import subprocess
import sys
import tempfile
import zipfile
from pathlib import Path

passed = failed = 0


def check(what, ok, detail=""):
    global passed, failed
    print(f"{'ok  ' if ok else 'FAIL'} {what}" + ("" if ok or detail == "" else f": {detail}"))
    passed, failed = passed + bool(ok), failed + (not ok)


def walk(components):
    for c in components:
        yield c
        yield from walk(c.get("components", []))


def prop(component, name):
    return next((p["value"] for p in component.get("properties", []) if p["name"] == name), None)


def main():
    if len(sys.argv) != 3:
        sys.exit(__doc__)
    dist, build = Path(sys.argv[1]), Path(sys.argv[2])
    boms = sorted(dist.glob("vwc-*.cdx.json"))
    check(f"{dist} holds one bill of materials", len(boms) == 1, boms)
    bom_path = boms[0]
    bom = json.loads(bom_path.read_text())
    top = {c["name"]: c for c in bom["components"] if c["type"] == "file"}
    every = {c["bom-ref"]: c for c in walk(bom["components"])}
    depends = {d["ref"]: d.get("dependsOn", []) for d in bom["dependencies"]}

    files = sorted(p.name for p in dist.iterdir() if p.name not in ("SHA256SUMS", "SHA256SUMS.asc", bom_path.name))
    check("every other file in dist/ is a component, and nothing else", sorted(top) == files, (sorted(top), files))
    for name in files:
        sum = hashlib.sha256((dist / name).read_bytes()).hexdigest()
        check(f"{name}: its SHA-256", top.get(name, {}).get("hashes", [{}])[0].get("content") == sum)
    sums = (dist / "SHA256SUMS").read_text()
    check(f"SHA256SUMS lists {bom_path.name}", re.search(rf"^[0-9a-f]{{64}}  {re.escape(bom_path.name)}$", sums, re.M))

    programs = [p for c in top.values() for p in c.get("components", []) if p["type"] == "application"]
    check("each package but the source holds one program", len(programs) == len(top) - 1, len(programs))
    for program in programs:
        check(f"{program['bom-ref']}: names the flex engine",
              any(c["name"] == "flex" and prop(c, "vwc:linkage") == "static" for c in program.get("components", [])))

    with tempfile.TemporaryDirectory() as scratch:
        for name in files:
            if not name.endswith(".zip"):
                continue
            with zipfile.ZipFile(dist / name) as archive:
                inside = next(n for n in archive.namelist() if n.endswith("/vwc.exe"))
                exe = Path(scratch, name + ".exe")
                exe.write_bytes(archive.read(inside))
            dump = subprocess.run(["objdump", "-p", str(exe)], capture_output=True, text=True, check=True).stdout
            dlls = sorted(set(re.findall(r"DLL Name: (\S+)", dump)))
            ref = f"{name}/{inside}"
            listed = sorted(every[r]["name"] for r in depends.get(ref, [])
                            if r in every and prop(every[r], "vwc:linkage") == "dynamic")
            check(f"{ref}: the DLLs objdump -p lists, {', '.join(dlls)}, and no others", dlls and dlls == listed, listed)

    version = bom["metadata"]["component"]["version"]
    for machine, arch in (("x86_64", "amd64"), ("aarch64", "arm64")):
        musl = subprocess.run(["dpkg-query", "-W", "-f=${Version}", f"musl-dev:{arch}"],
                              capture_output=True, text=True, check=True).stdout
        portable = [p for p in programs
                    if p["bom-ref"].startswith((f"vwc-{version}-1.{machine}.rpm/", f"vwc-{version}-linux-{machine}.tar.gz/"))]
        check(f"portable {machine}: the tar.gz and the RPM", len(portable) == 2, [p["bom-ref"] for p in portable])
        for program in portable:
            libraries = [c for c in program.get("components", []) if c["name"] == "musl"]
            check(f"{program['bom-ref']}: musl {musl}, as dpkg says", [c["version"] for c in libraries] == [musl],
                  [c["version"] for c in libraries])
            members = [m["name"] for c in libraries for m in c.get("components", [])]
            check(f"{program['bom-ref']}: {len(members)} musl members listed, none of them iconv",
                  members and not any("iconv" in m for m in members), [m for m in members if "iconv" in m])
        unstripped = build / f"portable-{machine}" / "vwc"
        symbols = subprocess.run([f"{machine}-linux-gnu-nm", str(unstripped)], capture_output=True, text=True,
                                 check=True).stdout
        check(f"{unstripped}: nm lists {len(symbols.splitlines())} symbols, none of them iconv",
              symbols and "iconv" not in symbols)

    print(f"{passed} passed, {failed} failed")
    sys.exit(1 if failed or not passed else 0)


main()
