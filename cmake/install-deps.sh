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
$sudo apt-get update -q
$sudo env DEBIAN_FRONTEND=noninteractive apt-get install -y -q $missing
