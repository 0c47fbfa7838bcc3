#!/bin/sh
# Builds the release from this checkout's last commit into dist/, emptied
# first: the source tarball, the Debian packages for amd64 and arm64, the ZIPs
# of the 32-bit (the Windows console on x86, vwc's own platform) and 64-bit
# vwc.exe, and SHA256SUMS over them all (cd dist && sha256sum -c SHA256SUMS
# checks them).  Two checkouts of one commit give the same bytes.
set -eu
cd "$(dirname "$0")/.."
if [ -n "$(git status --porcelain --untracked-files=no)" ]; then
  echo "release.sh: commit or stash your changes first: a release is built from one commit" >&2
  exit 1
fi
# cpack copies the file mode of its scratch files, and so the umask, into the
# .deb's archive headers.
umask 022
# dpkg-shlibdeps reads a package's library dependencies from the symbols
# files of the libraries it links: for the arm64 package, those of Debian's
# arm64 libraries, not of the cross compiler's copies (libc6-arm64-cross).
sh cmake/install-deps.sh dpkg-dev file mingw-w64 g++-aarch64-linux-gnu libc6:arm64 libstdc++6:arm64
packages="build/vwc_*.deb build-linux-aarch64/vwc_*.deb build-windows-x86/vwc-*.zip build-windows-x64/vwc-*.zip"  # globs
rm -rf dist $packages
cmake -S . -B build && cmake --build build && (cd build && cpack -G DEB) || exit
cmake --preset linux-aarch64 && cmake --build --preset linux-aarch64 && (cd build-linux-aarch64 && cpack -G DEB) || exit
for preset in windows-x86 windows-x64; do
  cmake --preset $preset && cmake --build --preset $preset && (cd build-$preset && cpack -G ZIP) || exit
done
mkdir dist
mv $packages dist/
# The commit's files in one folder, each dated at the commit, with modes that
# no one's git settings change; gzip -n leaves out the archive's own name and
# time.
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' build/CMakeCache.txt)
git -c tar.umask=0022 archive --format=tar --prefix="vwc-$version/" -o "dist/vwc-$version.tar" HEAD
gzip -9n "dist/vwc-$version.tar"
cd dist
files=$(ls | LC_ALL=C sort)
sha256sum $files > SHA256SUMS
sha256sum -c SHA256SUMS
