#!/usr/bin/env bash
# As root, on a machine you can throw away: builds the release of this
# checkout's last commit in clean clones and compares their SHA256SUMS.
#   usage: bash .ci/reproducible.sh [SHA256SUMS]
# The first release is built in a clone in a scratch folder, or, given a
# SHA256SUMS of a release of that commit (CI's own), is that one.  The
# second is built in a clone on a tmpfs of its own (folders' sizes differ
# there, which an archiver may record), after a Debug build in its build/,
# at least two seconds later, and under libfaketime 400 days on, which
# shifts the times that stat returns.  On a difference it shows the lines
# of SHA256SUMS that differ and, if diffoscope is installed, its report on
# each file that differs (when the first release's copy is beside its
# SHA256SUMS).
set -euo pipefail
cd "$(dirname "$0")/.."
[ $# -le 1 ] || { echo "usage: bash .ci/reproducible.sh [SHA256SUMS]" >&2; exit 2; }
sums=${1:+$(realpath "$1")}
sh scripts/install-deps.sh faketime
work=$(mktemp -d)
second=$work/on-tmpfs
mkdir "$second"
cleanup() {
  local status=$?
  ! mountpoint -q "$second" || umount "$second" || umount --lazy "$second"
  rm -rf "$work"
  exit $status
}
trap cleanup EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

if [ -z "$sums" ]; then
  echo "== the first release, in $work/first"
  git clone -q . "$work/first"
  (cd "$work/first" && sh scripts/release.sh)
  sums=$work/first/dist/SHA256SUMS
fi
sleep 2
echo "== the second, on a tmpfs, after a Debug build, under faketime -f +400d"
mount -t tmpfs -o size=4g tmpfs "$second"
git clone -q . "$second/vwc"
(cd "$second/vwc" && cmake -S . -B build -DCMAKE_BUILD_TYPE=Debug && cmake --build build &&
   faketime -f +400d sh scripts/release.sh)

if cmp -s "$sums" "$second/vwc/dist/SHA256SUMS"; then
  cat "$sums"
  echo "reproducible.sh: the two releases are the same bytes"
  exit 0
fi
echo "reproducible.sh: the two releases differ:"
diff "$sums" "$second/vwc/dist/SHA256SUMS" || true
first=$(dirname "$sums")
for file in $(diff <(sort "$sums") <(sort "$second/vwc/dist/SHA256SUMS") | sed -n 's/^> [0-9a-f]*  //p'); do
  if command -v diffoscope > /dev/null && [ -f "$first/$file" ]; then
    diffoscope "$first/$file" "$second/vwc/dist/$file" || true
  fi
done
exit 1
