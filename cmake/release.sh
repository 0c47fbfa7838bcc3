#!/bin/sh
# Builds the three release packages from this checkout, then prints their
# SHA-256 sums: the Debian package, and the ZIPs of the 32-bit (the Windows
# console on x86, vwc's own platform) and 64-bit vwc.exe.  Two checkouts of
# one commit give the same sums.
set -eu
cd "$(dirname "$0")/.."
# cpack copies the file mode of its scratch files, and so the umask, into the
# .deb's archive headers.
umask 022
sh cmake/install-deps.sh dpkg-dev mingw-w64
packages="build/vwc_*.deb build-windows-x86/vwc-*.zip build-windows-x64/vwc-*.zip"  # globs
rm -f $packages
cmake -S . -B build && cmake --build build && (cd build && cpack -G DEB) || exit
for preset in windows-x86 windows-x64; do
  cmake --preset $preset && cmake --build --preset $preset && (cd build-$preset && cpack -G ZIP) || exit
done
sha256sum $packages
