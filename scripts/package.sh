#!/bin/sh
# Packages what one build folder holds, as its package.conf says, into OUT:
# a Linux build's .deb; the portable build's tar.gz and RPM; a Windows
# build's ZIP.  Each is made from `cmake --install` into a scratch folder by
# a tool that stores files in name order, owned by root, with modes of their
# own and the commit's time, so that two builds of one commit give the same
# bytes, whoever builds them, on whatever file system.
#   usage: sh scripts/package.sh BUILD_DIR OUT_DIR
set -eu
[ $# -eq 2 ] || { echo "usage: sh scripts/package.sh BUILD_DIR OUT_DIR" >&2; exit 2; }
source_dir=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "$1" && pwd)
mkdir -p "$2"
out=$(cd "$2" && pwd)
. "$build/package.conf"
# Every time in a package is the last commit's: the caller's
# SOURCE_DATE_EPOCH, else what git archive wrote into a source tarball's
# cmake/commit-time, else git's.
if [ -z "${SOURCE_DATE_EPOCH:-}" ]; then
  SOURCE_DATE_EPOCH=$(cat "$source_dir/cmake/commit-time")
  case $SOURCE_DATE_EPOCH in
    "" | *[!0-9]*) SOURCE_DATE_EPOCH=$(git -C "$source_dir" log -1 --format=%ct) ;;
  esac
fi
export SOURCE_DATE_EPOCH
umask 022
stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT
chmod 755 "$stage"
stamp() { find "$1" -exec touch -h -d "@$SOURCE_DATE_EPOCH" {} +; }
# What was made, for the bill of materials (scripts/sbom.py).
made() { echo "${1##*/}" >> "$build/packages"; echo "$1"; }
: > "$build/packages"

for format in $formats; do
  case $format in
    deb)
      # Debian's own tools: dpkg-shlibdeps for the libraries' versions,
      # dpkg-gencontrol for the control file and its Installed-Size,
      # dpkg-deb for the package.
      root=$stage/deb
      DESTDIR=$root cmake --install "$build" --prefix /usr --strip > /dev/null
      mkdir "$root/DEBIAN"
      (cd "$root" && find usr -type f | LC_ALL=C sort | xargs md5sum) > "$root/DEBIAN/md5sums"
      (cd "$build" &&
         DEB_HOST_ARCH=$debian_arch dpkg-shlibdeps -T"$stage/substvars" -e"$root/usr/bin/$program" &&
         DEB_HOST_ARCH=$debian_arch dpkg-gencontrol -cdebian/control -ldebian/changelog -T"$stage/substvars" \
           -f"$stage/files" -P"$root")
      chmod 644 "$root/DEBIAN/control" "$root/DEBIAN/md5sums"
      stamp "$root"
      dpkg-deb --root-owner-group -Zxz --threads-max=1 --build "$root" "$out/vwc_${version}_$debian_arch.deb" > /dev/null
      made "$out/vwc_${version}_$debian_arch.deb"
      ;;
    tgz)
      cmake --install "$build" --component portable --prefix "$stage/$folder" --strip > /dev/null
      stamp "$stage/$folder"
      tar --sort=name --owner=0 --group=0 --numeric-owner --mode=u=rwX,go=rX --format=gnu \
          -C "$stage" -cf - "$folder" | gzip -9n > "$out/$folder.tar.gz"
      made "$out/$folder.tar.gz"
      ;;
    zip)
      # ZIP times are local: in UTC, the same everywhere.  -X stores no
      # owner and no times beyond the entry's own.
      cmake --install "$build" --prefix "$stage/$folder" --strip > /dev/null
      stamp "$stage/$folder"
      rm -f "$out/$folder.zip"
      (cd "$stage" && find "$folder" -type f | LC_ALL=C sort | TZ=UTC0 zip -X -D -9 -q "$out/$folder.zip" -@)
      made "$out/$folder.zip"
      ;;
    rpm)
      (cd "$build" && cpack -G RPM > /dev/null)
      for rpm in "$build"/vwc-*.rpm; do mv "$rpm" "$out/" && made "$out/${rpm##*/}"; done
      ;;
  esac
done
