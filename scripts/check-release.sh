#!/usr/bin/env bash
# Checks a release that scripts/release.sh built, as its users get it.
#   usage: bash scripts/check-release.sh DIST [CHECK...]
#   e.g.   bash scripts/check-release.sh dist            (all of them)
#          bash scripts/check-release.sh dist sums debs
# DIST is the release; build-release/ beside it is the folder release.sh
# built it in.  The checks, in this order:
#   sums      SHA256SUMS lists exactly the release's files, and they verify;
#             so does SHA256SUMS.asc, when it is there (with your keyring)
#   debs      lintian; each .deb's files, machine and dependencies; its vwc
#             prints the example's report (the arm64 one under qemu)
#   portable  the tar.gz and RPMs: .ci/check-portable-packages.sh
#   windows   the ZIPs and both vwc.exe: .ci/check-windows-packages.py
#   sbom      the bill of materials: .ci/sbom/check.sh
#   tarball   the source tarball, where there is no git: the Quick start
#             builds and tests it, its .deb is the release's, and release.sh
#             refuses to run there
# Each installs what it needs with scripts/install-deps.sh.  Run it as root:
# the portable check runs vwc in chroots.  It stops at the first check that
# fails, naming it, with status 1; an unknown check is status 2.
set -euo pipefail
all="sums debs portable windows sbom tarball"
usage() { echo "usage: bash scripts/check-release.sh DIST [$(echo $all | tr ' ' '|')]..." >&2; exit 2; }
[ $# -ge 1 ] || usage
dist=$1
shift
checks=${*:-$all}
for check in $checks; do
  case " $all " in *" $check "*) ;; *) usage ;; esac
done
dist=$(cd "$dist" && pwd)
release_build=$(dirname "$dist")/build-release
cd "$(dirname "$0")/.."
[ -d "$release_build" ] || { echo "check-release.sh: no $release_build beside $dist" >&2; exit 2; }

current=""
work=$(mktemp -d)
at_exit() {
  local status=$?
  rm -rf "$work"
  [ $status -eq 0 ] || [ -z "$current" ] || echo "FAILED: $current"
  exit $status
}
trap at_exit EXIT
fail() { echo "$current: $*"; exit 1; }
needs() { sh scripts/install-deps.sh "$@"; }

# The version is the source tarball's, vwc-VERSION.tar.gz.
version=$(ls "$dist" | sed -n 's/^vwc-\([0-9][0-9.]*\)\.tar\.gz$/\1/p')
[ -n "$version" ] || { echo "check-release.sh: $dist holds no vwc-VERSION.tar.gz" >&2; exit 1; }
# What each packaged vwc must print for the example: what the release's own
# native program prints, a report that counts wc's lines.
expected=$("$release_build/linux-x86_64/vwc" < examples/counter.v)
grep -qx "Verilog keywords=[0-9]*  lines=$(wc -l < examples/counter.v)  words=[0-9]*  chars=[0-9]*" <<<"$expected" ||
  { echo "check-release.sh: $release_build/linux-x86_64/vwc prints: $expected" >&2; exit 1; }

check_sums() {
  local packages signature=""
  packages=$(echo vwc-$version-1.aarch64.rpm vwc-$version-1.x86_64.rpm vwc-$version-linux-aarch64.tar.gz \
    vwc-$version-linux-x86_64.tar.gz vwc-$version-win32.zip vwc-$version-win64.zip vwc-$version.cdx.json \
    vwc-$version.tar.gz vwc_${version}_amd64.deb vwc_${version}_arm64.deb)
  [ ! -e "$dist/SHA256SUMS.asc" ] || signature=SHA256SUMS.asc
  [ "$(ls "$dist" | LC_ALL=C sort | xargs)" = "$(echo SHA256SUMS $signature $packages)" ] ||
    fail "$dist holds $(ls "$dist" | xargs), not $(echo SHA256SUMS $signature $packages)"
  [ "$(awk '{ print $2 }' "$dist/SHA256SUMS" | xargs)" = "$packages" ] || fail "SHA256SUMS does not list exactly $packages"
  (cd "$dist" && sha256sum --quiet --strict -c SHA256SUMS) || fail "a sum does not verify"
  if [ -n "$signature" ]; then
    needs gpg
    gpg --verify "$dist/SHA256SUMS.asc" "$dist/SHA256SUMS" || fail "SHA256SUMS.asc does not verify"
  fi
  echo "SHA256SUMS lists every package and verifies${signature:+, and so does its signature}"
}

check_debs() {
  local arch deb
  needs lintian qemu-user libc6-arm64-cross
  lintian --display-info --pedantic --fail-on error,warning,info,pedantic "$dist"/*.deb || fail "lintian"
  for arch in amd64 arm64; do
    deb=$dist/vwc_${version}_$arch.deb
    dpkg-deb -x "$deb" "$work/$arch"
    [ -f "$work/$arch/usr/share/man/man1/vwc.1.gz" ] || fail "$deb has no man page"
    [ -f "$work/$arch/usr/share/doc/vwc/copyright" ] || fail "$deb has no copyright"
    [ "$(dpkg-deb -f "$deb" Architecture)" = $arch ] || fail "$deb is not for $arch"
    dpkg-deb -f "$deb" Depends | grep -Eq '^libc6 \(>= [0-9.]+\)' || fail "$deb has no versioned libc6 dependency"
    ! dpkg-deb -f "$deb" Depends | grep -q -- -cross || fail "$deb depends on the cross compiler's libraries"
  done
  [ "$("$work/amd64/usr/bin/vwc" < examples/counter.v)" = "$expected" ] || fail "the amd64 .deb's vwc: wrong report"
  [ "$(qemu-aarch64 -L /usr/aarch64-linux-gnu "$work/arm64/usr/bin/vwc" < examples/counter.v)" = "$expected" ] ||
    fail "the arm64 .deb's vwc: wrong report"
  echo "lintian finds nothing; both .debs hold their files and dependencies, and their vwc works"
}

check_portable() {
  needs rpm rpmlint cpio mmdebstrap qemu-user binutils-aarch64-linux-gnu
  bash .ci/check-portable-packages.sh "$dist" "$release_build" "$release_build/linux-x86_64/vwc"
}

check_windows() {
  needs python3-pefile
  /usr/bin/python3 .ci/check-windows-packages.py "$dist" "$release_build/windows-x86" "$release_build/windows-x64"
}

check_sbom() {
  bash .ci/sbom/check.sh "$dist" "$release_build"
}

check_tarball() {
  local tarball=$dist/vwc-$version.tar.gz tree=$work/vwc-$version
  [ "$(tar -tzf "$tarball" | cut -d/ -f1 | sort -u)" = "vwc-$version" ] || fail "$tarball: not all in vwc-$version/"
  tar -xzf "$tarball" -C "$work"
  (cd "$tree" && ! git rev-parse --git-dir 2>/dev/null) || fail "the unpacked tarball is in a git work tree"
  ! (cd "$tree" && sh scripts/release.sh) 2> "$work/release.err" || fail "release.sh ran without git"
  cat "$work/release.err"
  grep -q "git checkout" "$work/release.err" && [ ! -e "$tree/dist" ] && [ ! -e "$tree/build-release" ] ||
    fail "release.sh did not stop before building"
  # The Quick start, then the .deb with its times from cmake/commit-time.
  (cd "$tree" && sh scripts/install-deps.sh && cmake -S . -B build && cmake --build build &&
     (cd build && ctest --output-on-failure) && env -u SOURCE_DATE_EPOCH sh scripts/package.sh build deb) ||
    fail "the Quick start or package.sh failed in the unpacked tarball"
  cmp "$tree/deb/vwc_${version}_amd64.deb" "$dist/vwc_${version}_amd64.deb" || fail "the tarball's .deb differs"
  echo "the tarball builds, passes its tests and packages the same .deb without git"
}

declare -A about=([sums]="SHA256SUMS, its files and its signature" [debs]="the Debian packages"
  [portable]="the portable tar.gz and RPMs" [windows]="the ZIPs and both vwc.exe" [sbom]="the bill of materials"
  [tarball]="the source tarball, without git")
passed=""
for check in $checks; do
  current=$check
  echo "== $check: ${about[$check]}"
  check_$check
  passed="$passed $check"
done
current=""
echo "check-release.sh: passed:$passed"
