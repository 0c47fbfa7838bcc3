#!/usr/bin/env bash
# CI, as root: the README's Quick start and release.sh on a minimal Debian 12
# made afresh, as on a newcomer's new machine.  Our own machines have tools
# a bare Debian lacks, which would hide a missing install step.
set -euo pipefail
cd "$(dirname "$0")/.."

step="setting up"
start=$SECONDS
times=""
timed() {  # LABEL: how long the step just ended took
  times+="$(printf '%-28s %5d s' "$1" $((SECONDS - start)))"$'\n'
  start=$SECONDS
}

work=$(mktemp -d)
chmod 755 "$work"  # apt's _apt user downloads into the root
root=$work/root
cleanup() {
  status=$?
  [ $status -eq 0 ] || echo "== FAILED: $step"
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
sh cmake/install-deps.sh mmdebstrap git
timed "mmdebstrap installed"

step="making a minimal Debian 12"
echo "== $step"
mmdebstrap --variant=apt --include=git bookworm "$root"
git clone -q . "$root/root/vwc"  # a real checkout: release.sh uses git
# The suite uses /dev/full, pipes and pseudo-terminals; apt and cmake /proc.
mount -t proc proc "$root/proc"
mount --bind /dev "$root/dev"
mount --bind /dev/pts "$root/dev/pts"
timed "minimal Debian 12 made"

# As a newcomer's root shell: nothing of ours in the environment.
in_root() {
  chroot "$root" /usr/bin/env -i HOME=/root DEBIAN_FRONTEND=noninteractive \
    PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin \
    bash -c "cd /root/vwc && $1" </dev/null
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
  timed "Quick start $n"
done <<<"$quick_start"

step="release.sh"
echo "== $step"
in_root "sh cmake/release.sh"
timed "release.sh"

step="dist/SHA256SUMS verifies"
echo "== $step"
in_root "cd dist && ls -l && sha256sum -c SHA256SUMS"
timed "SHA256SUMS checked"

echo "== minimal Debian 12: the Quick start and the release work"
printf '%s' "$times"
printf '%-28s %5d s\n' total $SECONDS
