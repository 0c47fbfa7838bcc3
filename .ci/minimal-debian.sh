#!/usr/bin/env bash
# CI, as root: the README's Quick start on a minimal Debian made afresh, as
# on a newcomer's new machine.  Our own machines have tools a bare Debian
# lacks, which would hide a missing install step.
#   usage: bash .ci/minimal-debian.sh SUITE [--broken-source] [--release]
# SUITE: bookworm (Debian 12) or bullseye (Debian 11).
# --broken-source: the root also has an apt source, served from 127.0.0.1,
#   whose Release and Packages disagree, as on a mirror in the middle of a
#   sync; and no package lists, so that install-deps.sh must update them.
#   It must warn and go on.  The source is taken away once that is shown.
# Either way install-deps.sh must fail by name on a package no source has,
# and at once, in one line, for a user who is not root and has no sudo.
# --release: then release.sh, and its sums are checked.
# The server and the root are removed at the end, whatever happened.
set -euo pipefail
cd "$(dirname "$0")/.."
suite=$1
shift
broken_source=false release=false
for option; do
  case $option in
    --broken-source) broken_source=true ;;
    --release) release=true ;;
    *) echo "usage: $0 SUITE [--broken-source] [--release]" >&2; exit 2 ;;
  esac
done

step="setting up"
start=$SECONDS
times=""
timed() {  # LABEL: how long the step just ended took
  times+="$(printf '%-34s %5d s' "$1" $((SECONDS - start)))"$'\n'
  start=$SECONDS
}

work=$(mktemp -d)
chmod 755 "$work"  # apt's _apt user downloads into the root
root=$work/root
server=""
cleanup() {
  status=$?
  [ $status -eq 0 ] || echo "== FAILED ($suite): $step"
  [ -z "$server" ] || kill "$server" 2>/dev/null || true
  # What still runs in the root when stopped midway (dpkg, on apt's
  # pseudo-terminal) would keep its mounts busy.
  for p in /proc/[0-9]*; do
    if [ "$(readlink "$p/root" 2>/dev/null)" = "$root" ]; then kill -KILL "${p#/proc/}" 2>/dev/null || true; fi
  done
  for m in dev/pts dev proc; do
    mountpoint -q "$root/$m" 2>/dev/null || continue
    umount "$root/$m" || umount -l "$root/$m"
  done
  # Never delete through a mount into the host's files.
  if grep -q " $root/" /proc/self/mounts; then
    echo "still mounted under $root: not removed" >&2
    exit 1
  fi
  rm -rf --one-file-system "$work"
  exit $status
}
trap cleanup EXIT
trap 'exit 1' INT TERM HUP

step="installing mmdebstrap"
echo "== $step"
sh scripts/install-deps.sh mmdebstrap git python3
timed "mmdebstrap installed"

step="making a minimal $suite"
echo "== $step"
mmdebstrap --variant=apt --include=git "$suite" "$root"
git clone -q . "$root/root/vwc"  # a real checkout: release.sh uses git
# The suite uses /dev/full, pipes and pseudo-terminals; apt and cmake /proc.
mount -t proc proc "$root/proc"
mount --bind /dev "$root/dev"
mount --bind /dev/pts "$root/dev/pts"
timed "minimal $suite made"

if $broken_source; then
  step="serving a broken apt source"
  echo "== $step"
  # A flat repository whose Release still describes the Packages file from
  # before the sync.
  mirror=$work/mirror
  mkdir "$mirror"
  printf 'Package: vwc-ci-old\nVersion: 1\nArchitecture: all\n\n' > "$mirror/Packages"
  { printf 'Origin: vwc CI\nLabel: a mirror in the middle of a sync\nSuite: ci\nCodename: ci\n'
    printf 'Date: %s\nSHA256:\n' "$(date -u -R)"
    printf ' %s %s Packages\n' "$(sha256sum < "$mirror/Packages" | cut -d' ' -f1)" "$(stat -c %s "$mirror/Packages")"
  } > "$mirror/Release"
  printf 'Package: vwc-ci-new\nVersion: 2\nArchitecture: all\n\n' >> "$mirror/Packages"
  /usr/bin/python3 -u -m http.server --bind 127.0.0.1 --directory "$mirror" 0 > "$work/server.log" 2>&1 &
  server=$!
  for _ in $(seq 100); do
    port=$(sed -n 's/^Serving HTTP on .* port \([0-9]*\).*/\1/p' "$work/server.log")
    [ -z "$port" ] || break
    sleep 0.1
  done
  [ -n "$port" ] || { cat "$work/server.log"; exit 1; }
  echo "deb [trusted=yes] http://127.0.0.1:$port/ ./" > "$root/etc/apt/sources.list.d/broken.list"
  find "$root/var/lib/apt/lists" -maxdepth 1 -type f ! -name lock -delete
  echo "http://127.0.0.1:$port/ serves a Packages file that its Release does not describe"
  timed "broken source served"
fi

# As a newcomer's root shell: nothing of ours in the environment.  What it
# writes is in $work/log too.
in_root() {
  chroot "$root" /usr/bin/env -i HOME=/root DEBIAN_FRONTEND=noninteractive \
    PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin \
    bash -c "cd /root/vwc && $1" </dev/null 2>&1 | tee "$work/log"
}
logged() {  # PATTERN WHAT: the last command printed a line that matches, as install-deps.sh should WHAT
  grep -q "$1" "$work/log" || { echo "install-deps.sh did not $2"; exit 1; }
}
broken_source_warned() {
  logged "^install-deps.sh: warning: apt-get update failed: .*127\.0\.0\.1:$port.*Mirror sync in progress" \
    "warn of the broken source"
}

# The Quick start's two commands, as the README gives them.
quick_start=$(awk '!in_block && /^#+ / { in_section = /^#+ Quick start/; next }
                   in_section && /^```/ { in_block = !in_block; next }
                   in_section && in_block' "$root/root/vwc/README.md")
[ "$(printf '%s\n' "$quick_start" | wc -l)" -eq 2 ] || { echo "the README's Quick start should hold two commands"; exit 1; }
n=0
while IFS= read -r command; do
  n=$((n + 1))
  step="Quick start $n: $command"
  echo "== $step"
  in_root "$command"
  if $broken_source && [ $n -eq 1 ]; then
    broken_source_warned
    # Shown: the rest need not wait on its retries.
    rm "$root/etc/apt/sources.list.d/broken.list"
    kill "$server"
    server=""
  fi
  timed "Quick start $n"
done <<<"$quick_start"

step="a package that no source has"
echo "== $step"
if in_root "sh scripts/install-deps.sh vwc-no-such-package"; then
  echo "install-deps.sh installed a package that does not exist"
  exit 1
fi
logged "^install-deps.sh: cannot install vwc-no-such-package: Unable to locate package vwc-no-such-package" \
  "name the missing package"
timed "a missing package fails by name"

step="a user who is not root and has no sudo"
echo "== $step"
if in_root "setpriv --reuid=nobody --regid=nogroup --clear-groups -- sh scripts/install-deps.sh vwc-no-such-package"; then
  echo "install-deps.sh succeeded for a user who cannot install"
  exit 1
fi
[ "$(cat "$work/log")" = "install-deps.sh: cannot install vwc-no-such-package: not root, and there is no sudo" ] ||
  { echo "install-deps.sh did not say at once, in one line, why it cannot install"; exit 1; }
timed "no root and no sudo: one line"

if $release; then
  step="release.sh"
  echo "== $step"
  in_root "sh scripts/release.sh"
  timed "release.sh"

  step="dist/SHA256SUMS verifies"
  echo "== $step"
  in_root "cd dist && ls -l && sha256sum -c SHA256SUMS"
  timed "SHA256SUMS checked"
fi

echo "== minimal $suite: the Quick start works$($broken_source && echo ", past a broken source")$($release && echo "; so does release.sh")"
printf '%s' "$times"
printf '%-34s %5d s\n' total $SECONDS
