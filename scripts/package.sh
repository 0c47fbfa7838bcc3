#!/bin/sh
# Packages what one build folder holds, as its package.conf says, into OUT:
# a Linux build's .deb; the portable build's tar.gz and RPM; a Windows
# build's ZIP.  Each is made from `cmake --install` into a scratch folder by
# a tool that stores files in name order, owned by root, with modes of their
# own and the commit's time, so that two builds of one commit give the same
# bytes, whoever builds them, on whatever file system, at whatever time.
# The tar.gz and the ZIP take that time from SOURCE_DATE_EPOCH, never from
# the files: a time read back can be shifted (libfaketime shifts what stat
# returns).  dpkg-deb and rpmbuild read the files' times back and clamp
# them to SOURCE_DATE_EPOCH: a time shifted later is mended, one shifted
# earlier (faketime -f -400d) is not.
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
# Gives everything under a folder the commit's time: here, and in cpack's
# staging folder through its pre-build hook (stamp.cmake, below).
echo 'find "$1" -exec touch -h -d "@$SOURCE_DATE_EPOCH" {} +' > "$stage/stamp"
stamp() { sh "$stage/stamp" "$1"; }
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
      tar --sort=name --owner=0 --group=0 --numeric-owner --mode=u=rwX,go=rX --mtime="@$SOURCE_DATE_EPOCH" \
          --format=gnu -C "$stage" -cf - "$folder" | gzip -9n > "$out/$folder.tar.gz"
      made "$out/$folder.tar.gz"
      ;;
    zip)
      # Python's zipfile, since Info-ZIP's zip reads each time from the
      # file.  Each entry: its name, the commit's time in UTC (ZIP times are
      # local), rw-r--r-- or rwxr-xr-x, deflated; no folders, owners or
      # extra fields.
      cmake --install "$build" --prefix "$stage/$folder" --strip > /dev/null
      (cd "$stage" && find "$folder" -type f | LC_ALL=C sort | /usr/bin/python3 -c '
import os, sys, time, zipfile
when = time.gmtime(int(os.environ["SOURCE_DATE_EPOCH"]))[:6]
with zipfile.ZipFile(sys.argv[1], "w") as archive:
    for name in sys.stdin.read().splitlines():
        entry = zipfile.ZipInfo(name, when)
        entry.create_system = 3  # Unix, whose modes these are
        entry.external_attr = (0o100755 if os.stat(name).st_mode & 0o100 else 0o100644) << 16
        with open(name, "rb") as file:
            archive.writestr(entry, file.read(), zipfile.ZIP_DEFLATED, 9)
' "$out/$folder.zip")
      made "$out/$folder.zip"
      ;;
    rpm)
      # rpmbuild clamps each file's time to SOURCE_DATE_EPOCH, but keeps an
      # older one, such as that of a LICENSE checked out before the commit
      # was made: what cpack stages gets the commit's time first.
      echo "execute_process(COMMAND sh \"$stage/stamp\" \"\${CPACK_TEMPORARY_INSTALL_DIRECTORY}\"
              COMMAND_ERROR_IS_FATAL ANY)" > "$stage/stamp.cmake"
      (cd "$build" && cpack -G RPM -D CPACK_PRE_BUILD_SCRIPTS="$stage/stamp.cmake" > /dev/null)
      for rpm in "$build"/vwc-*.rpm; do mv "$rpm" "$out/" && made "$out/${rpm##*/}"; done
      ;;
  esac
done
