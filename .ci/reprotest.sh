#!/usr/bin/env bash
# CI, as root: release.sh run under reprotest in a clean clone, once as the
# control and once with every variation this reprotest has: the build path,
# environment, PATH, file order (disorderfs), HOME, kernel version, locale,
# number of CPUs, time, time zone, umask, user and group, host and domain
# name, and address-space randomization; diffoscope finding no difference in
# dist/.
set -euo pipefail
cd "$(dirname "$0")/.."
work=$(mktemp -d)
cleanup() { status=$?; rm -rf "$work"; userdel -r vwc-builder 2>/dev/null || true; exit $status; }
trap cleanup EXIT
# Without what these recommend: reprotest recommends diffoscope-minimal,
# which recommends some 850 packages (3 GB) for formats that no release
# holds.  On a fresh Debian 12 they took 192 s to install; these alone 14 s.
# What diffoscope needs for the release's own formats (binutils, rpm2cpio)
# comes with release.sh's packages.
echo 'APT::Install-Recommends "false";' > "$work/apt.conf"
APT_CONFIG=$work/apt.conf sh scripts/install-deps.sh reprotest diffoscope-minimal disorderfs faketime locales-all
# The varied user builds as vwc-builder.
id vwc-builder >/dev/null 2>&1 || useradd --create-home --shell /bin/sh vwc-builder
# reprotest's sudo goes through this instead: run as root, it runs the
# command as the user and group that -u and -g name, through setpriv, or as
# root, and keeps PATH.  sudo would set PATH to its secure_path, and the
# varied build, which runs through sudo for the host name and again for the
# user, would never see the PATH variation.  The folder of reprotest's
# helpers (mkdir, fusermount and disorderfs as that user) stays out of PATH:
# they are for its set-up steps, not the build.  (reprotest 0.7.23 also
# passes -h localhost, which sudo 1.9 refuses.)
mkdir "$work/bin"
cat > "$work/bin/sudo" <<'SHIM'
#!/bin/bash
set -eu
user=root group=""
while [ $# -gt 0 ]; do
  case $1 in
    -h) shift 2 ;;
    -E) shift ;;
    -u) user=$2; shift 2 ;;
    -g) group=$2; shift 2 ;;
    -*) echo "sudo (reprotest.sh): no option $1" >&2; exit 1 ;;
    *) break ;;
  esac
done
path=""
IFS=: read -ra dirs <<<"$PATH"
for dir in "${dirs[@]}"; do
  case $dir in */reprotest.*/bin) ;; *) path=${path:+$path:}$dir ;; esac
done
if [ "$user" = root ] && [ "${group:-root}" = root ]; then exec env PATH="$path" "$@"; fi
exec setpriv --reuid="$user" --regid="${group:-$user}" --init-groups env PATH="$path" USER="$user" LOGNAME="$user" "$@"
SHIM
chmod 755 "$work/bin/sudo"
git clone -q . "$work/vwc"
chmod 755 "$work"
start=$SECONDS
status=0
PATH="$work/bin:$PATH" reprotest --verbosity 1 --store-dir "$work/store" \
  --variations=+all,user_group.available+=vwc-builder:vwc-builder,domain_host.use_sudo=1 \
  -c 'sh scripts/release.sh' "$work/vwc" 'dist/*' || status=$?
for out in "$work"/store/*.diffoscope.out; do
  [ ! -e "$out" ] || { echo "== $out"; cat "$out"; }
done
echo "reprotest: status $status in $((SECONDS - start)) s"
exit $status
