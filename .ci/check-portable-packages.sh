#!/usr/bin/env bash
# Checks the portable Linux packages of a release as a user gets them.
#   usage: bash .ci/check-portable-packages.sh DIST RELEASE_BUILD REFERENCE_VWC
#   e.g.   bash .ci/check-portable-packages.sh dist build-release build/vwc
# DIST holds the release; RELEASE_BUILD is the folder release.sh built it in,
# which holds each portable program as linked, with its symbols;
# REFERENCE_VWC is a vwc whose report on examples/counter.v the packaged ones
# must print.
#
# Each tar.gz is one folder holding vwc, vwc.1, LICENSE, README, NOTICES and
# counter.v.  Its vwc is for its machine, static and position-independent (no
# program interpreter, no needed library), with its relocations read-only and
# bound at start, and stripped.  It is the program as linked, stripped as the
# install strips it, and that program's main checks its stack canary.  The
# x86_64 one runs in an empty root and in a Debian 11 root, whose glibc is
# older than Debian 12's; the aarch64 one under qemu with no C library
# given.  Each RPM holds the same vwc under /usr with its man page, license,
# NOTICES and changelog, requires nothing but rpm's own features, and passes
# rpmlint with the project's settings; the x86_64 one installs with rpm
# alone.
set -euo pipefail
cd "$(dirname "$0")/.."
dist=$1 release_build=$2 reference=$3
work=$(mktemp -d)
cleanup() { rm -rf "$work"; }
trap cleanup EXIT
fail() { echo "FAIL $*"; exit 1; }
ok() { echo "ok   $*"; }

expected=$("$reference" < examples/counter.v)
version=$(ls "$dist" | sed -n 's/^vwc-\(.*\)-linux-x86_64\.tar\.gz$/\1/p')
[ -n "$version" ] || fail "$dist holds no portable x86_64 tar.gz"
declare -A elf_machine=([x86_64]="Advanced Micro Devices X86-64" [aarch64]="AArch64")
run_on() {  # MACHINE PROGRAM: its report on the example
  if [ "$1" = "$(uname -m)" ]; then "$2"; else "qemu-$1" "$2"; fi < examples/counter.v
}

for machine in x86_64 aarch64; do
  name=vwc-$version-linux-$machine
  tarball=$dist/$name.tar.gz
  listing=$(tar -tzf "$tarball" | LC_ALL=C sort | xargs)
  [ "$listing" = "$name/ $name/LICENSE $name/NOTICES $name/README $name/counter.v $name/vwc $name/vwc.1" ] ||
    [ "$listing" = "$name/LICENSE $name/NOTICES $name/README $name/counter.v $name/vwc $name/vwc.1" ] ||
    fail "$tarball holds $listing"
  tar -xzf "$tarball" -C "$work"
  folder=$work/$name
  program=$folder/vwc
  cmp -s "$folder/counter.v" examples/counter.v && cmp -s "$folder/LICENSE" LICENSE &&
    cmp -s "$folder/vwc.1" doc/vwc.1 || fail "$tarball: counter.v, LICENSE or vwc.1 differs from the repository's"
  grep -q "vwc $version for Linux on $machine" "$folder/README" || fail "$tarball: README does not name vwc $version for $machine"
  grep -q "^Upstream-Name: musl" "$folder/NOTICES" && grep -q "Rich Felker" "$folder/NOTICES" ||
    fail "$tarball: NOTICES lacks musl's copyright"
  ok "$tarball: one folder, $listing"

  header=$(readelf -hW "$program") segments=$(readelf -lW "$program") dynamic=$(readelf -dW "$program")
  sections=$(readelf -SW "$program")
  grep -q "Machine: *${elf_machine[$machine]}\$" <<<"$header" || fail "$program is not for $machine"
  grep -q "Type: *DYN" <<<"$header" || fail "$program is not position-independent"
  ! grep -q INTERP <<<"$segments" || fail "$program names a program interpreter"
  ! grep -q NEEDED <<<"$dynamic" || fail "$program needs libraries"
  grep -q GNU_RELRO <<<"$segments" && grep -q "BIND_NOW\|Flags: NOW" <<<"$dynamic" ||
    fail "$program: relocations not read-only or not bound at start"
  ! grep -qE " \.symtab | \.comment " <<<"$sections" || fail "$program is not stripped"
  # The stack protector, read from the program as linked, symbols and all:
  # main, which holds the report's buffer, calls __stack_chk_fail when its
  # canary is overwritten.  That the program holds __stack_chk_fail proves
  # nothing: musl's own functions call it.  The packaged vwc must then be
  # that very program, stripped as cmake --install --strip strips it
  # (cmake/packaging.cmake), with the same tools.
  built=$release_build/portable-$machine
  tool() { sed -n "s/^CMAKE_$1:FILEPATH=//p" "$built/CMakeCache.txt"; }
  "$(tool OBJDUMP)" --disassemble=main "$built/vwc" | grep -q "<__stack_chk_fail>" ||
    fail "$built/vwc: main does not check a stack canary"
  cp "$built/vwc" "$work/vwc-$machine"
  "$(tool STRIP)" "$work/vwc-$machine" && "$(tool OBJCOPY)" --remove-section=.comment "$work/vwc-$machine"
  cmp -s "$work/vwc-$machine" "$program" || fail "$program is not $built/vwc, stripped"
  [ "$(run_on "$machine" "$program")" = "$expected" ] || fail "$program: wrong report"
  ok "$program: static-pie for $machine, RELRO bound at start, stripped, the stack protector in main; its report is right"

  rpm=$dist/vwc-$version-1.$machine.rpm
  [ "$(rpm -qp --qf '%{ARCH}' "$rpm")" = "$machine" ] || fail "$rpm is not for $machine"
  requirements=$(rpm -qpR "$rpm")
  ! grep -qv '^rpmlib(' <<<"$requirements" || fail "$rpm requires $requirements"
  files=$(rpm -qpl "$rpm" | xargs)
  [ "$files" = "/usr/bin/vwc /usr/share/doc/vwc /usr/share/doc/vwc/changelog.gz /usr/share/licenses/vwc /usr/share/licenses/vwc/LICENSE /usr/share/licenses/vwc/NOTICES /usr/share/man/man1/vwc.1.gz" ] ||
    fail "$rpm holds $files"
  changelog=$(rpm -qp --changelog "$rpm")
  grep -q "^\* .* - $version-1\$" <<<"$changelog" || fail "$rpm: no changelog entry for $version-1"
  mkdir "$work/rpm-$machine"
  rpm2cpio "$rpm" | (cd "$work/rpm-$machine" && cpio -idm --quiet)
  cmp -s "$work/rpm-$machine/usr/bin/vwc" "$program" || fail "$rpm: its vwc is not the tar.gz's"
  cmp -s "$work/rpm-$machine/usr/share/licenses/vwc/NOTICES" "$folder/NOTICES" || fail "$rpm: its NOTICES is not the tar.gz's"
  [ "$(run_on "$machine" "$work/rpm-$machine/usr/bin/vwc")" = "$expected" ] || fail "$rpm: wrong report"
  ok "$rpm: requires only rpm's own features ($(xargs <<<"$requirements")); holds $files; its vwc runs"
done

rpmlint -c cmake/rpmlint.toml "$dist"/*.rpm || fail "rpmlint reports errors"
ok "rpmlint: no errors"

# rpm itself, into a root that holds nothing else: nothing is required that
# rpm does not provide.  (Debian's rpm warns that it is not Debian's installer.)
rpm --root "$work/rpm-root" --initdb
rpm --root "$work/rpm-root" --install "$dist/vwc-$version-1.x86_64.rpm" 2>/dev/null
[ "$(chroot "$work/rpm-root" vwc < examples/counter.v)" = "$expected" ] || fail "vwc installed by rpm"
rpm --root "$work/rpm-root" --erase vwc 2>/dev/null
[ ! -e "$work/rpm-root/usr/bin/vwc" ] || fail "rpm --erase left vwc behind"
ok "the x86_64 RPM installs into an empty root with rpm, runs there and erases"

program=$work/vwc-$version-linux-x86_64/vwc
mkdir "$work/empty"
cp "$program" "$work/empty/vwc"
[ "$(chroot "$work/empty" /vwc < examples/counter.v)" = "$expected" ] || fail "vwc in an empty root"
ok "vwc runs in an empty root"
# A Debian 11 root: glibc 2.31, older than any the .deb's vwc accepts.
mmdebstrap --quiet --variant=minbase bullseye "$work/bullseye"
cp "$program" "$work/bullseye/usr/local/bin/vwc"
[ "$(chroot "$work/bullseye" vwc < examples/counter.v)" = "$expected" ] || fail "vwc in a Debian 11 root"
ok "vwc runs in a Debian 11 root ($(chroot "$work/bullseye" ldd --version | head -n 1))"
