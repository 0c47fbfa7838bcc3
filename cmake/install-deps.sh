#!/bin/sh
# Installs the Debian or Ubuntu packages that building and testing vwc needs,
# plus any named on the command line, skipping those already installed.  A
# package of another architecture, such as wine32:i386, has that
# architecture enabled first.  Safe to run again.
set -eu
packages="flex cmake make g++ libgtest-dev $*"
missing=""
for p in $packages; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'ok installed' || missing="$missing $p"
done
[ -z "$missing" ] && exit 0
sudo=""
[ "$(id -u)" -eq 0 ] || sudo=sudo
for p in $missing; do
  case $p in
    *:*) arch=${p#*:}
         if [ "$arch" != "$(dpkg --print-architecture)" ] &&
            ! dpkg --print-foreign-architectures | grep -qx "$arch"; then
           echo "enabling the $arch architecture"
           $sudo dpkg --add-architecture "$arch"
         fi ;;
  esac
done
echo "installing:$missing"
# Another apt or dpkg may be at work, as on a fresh machine busy with its
# first upgrades.  apt-get waits for dpkg's locks when told to, but fails at
# once on the package lists' and the download cache's (apt 2.6): then it is
# run again, for up to 10 minutes too.
err=$(mktemp)
trap 'rm -f "$err"' EXIT
apt_get() {
  waited=0
  until $sudo env DEBIAN_FRONTEND=noninteractive apt-get -o DPkg::Lock::Timeout=600 "$@" 2>"$err"; do
    if ! grep -q '/lock' "$err" || [ $waited -ge 600 ]; then
      cat "$err" >&2
      return 1
    fi
    [ $waited -gt 0 ] || { head -n 1 "$err" >&2; echo "waiting for it"; }
    sleep 5
    waited=$((waited + 5))
  done
  cat "$err" >&2
}
apt_get update -q
apt_get install -y -q $missing
