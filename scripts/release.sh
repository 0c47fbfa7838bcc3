#!/bin/sh
# Builds the release of this checkout's last commit into dist/, emptied
# first: the source tarball; Debian packages for amd64 and arm64; the
# portable program for x86-64 and 64-bit ARM Linux, each as a tar.gz and an
# RPM; ZIPs of the 32-bit (the Windows console on x86, vwc's own platform)
# and 64-bit vwc.exe; the bill of materials, vwc-VERSION.cdx.json; and
# SHA256SUMS over them all (cd dist && sha256sum -c SHA256SUMS checks them).
# With VWC_SIGNING_KEY naming a key in the caller's GnuPG keyring, also
# SHA256SUMS.asc, a detached signature of SHA256SUMS.  Two checkouts of one
# commit give the same bytes.
set -eu
cd "$(dirname "$0")/.."
# The source tarball is the commit, as git archive writes it.
if ! command -v git >/dev/null 2>&1 ||
   [ "$(git rev-parse --show-toplevel 2>/dev/null)" != "$(pwd -P)" ]; then
  echo "release.sh: a release is built from a git checkout of vwc, with git installed; in an unpacked source tarball, build vwc with the Quick start commands of README.md" >&2
  exit 1
fi
if [ -n "$(git status --porcelain --untracked-files=no)" ]; then
  echo "release.sh: commit or stash your changes first: a release is built from one commit" >&2
  exit 1
fi
umask 022
# dpkg-shlibdeps (dpkg-dev) reads a package's library dependencies from the
# symbols files of the libraries it links: for the arm64 package, those of
# Debian's arm64 libraries, not of the cross compiler's copies
# (libc6-arm64-cross).  rpmbuild comes with rpm, which cpack runs; Python
# makes the ZIPs.  The bill of materials reads the exes' imports with pefile
# and the RPMs with cpio.
packages="dpkg-dev rpm mingw-w64 g++-aarch64-linux-gnu libc6:arm64 libstdc++6:arm64 musl-dev musl-dev:arm64
          python3 python3-pefile cpio"
[ -z "${VWC_SIGNING_KEY:-}" ] || packages="$packages gpg"
sh scripts/install-deps.sh $packages

# Every time in every file is the last commit's.
SOURCE_DATE_EPOCH=${SOURCE_DATE_EPOCH:-$(git log -1 --format=%ct)}
export SOURCE_DATE_EPOCH

# Each package is built in a folder of its own, made afresh, so that nothing
# configured by hand in a build folder can leak into a release.
rm -rf dist build-release
mkdir dist
package() {  # FOLDER CMAKE-ARGUMENTS...
  dir=build-release/$1
  shift
  cmake "$@" -B "$dir" && cmake --build "$dir" && sh scripts/package.sh "$dir" dist || exit
}
package linux-x86_64 -S . -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF
package linux-aarch64 --preset linux-aarch64
package portable-x86_64 --preset portable-x86_64
package portable-aarch64 --preset portable-aarch64
package windows-x86 --preset windows-x86
package windows-x64 --preset windows-x64

# The commit's files in one folder, each dated at the commit, with modes that
# no one's git settings change; gzip -n leaves out the archive's own name and
# time.
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' build-release/linux-x86_64/CMakeCache.txt)
git -c tar.umask=0022 archive --format=tar --prefix="vwc-$version/" -o "dist/vwc-$version.tar" HEAD
gzip -9n "dist/vwc-$version.tar"
# The bill of materials: every file, and what each program holds.
/usr/bin/python3 scripts/sbom.py dist build-release/*
cd dist
files=$(ls | LC_ALL=C sort)
sha256sum $files > SHA256SUMS
sha256sum -c SHA256SUMS
if [ -n "${VWC_SIGNING_KEY:-}" ]; then
  gpg --local-user "$VWC_SIGNING_KEY" --armor --detach-sign --output SHA256SUMS.asc SHA256SUMS
  gpg --verify SHA256SUMS.asc SHA256SUMS
fi
