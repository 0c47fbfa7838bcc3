#!/bin/sh
# Installs the Debian or Ubuntu packages that building and testing vwc needs,
# plus any named on the command line, skipping those already installed.
set -eu
packages="flex cmake make g++ libgtest-dev $*"
missing=""
for p in $packages; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'ok installed' || missing="$missing $p"
done
[ -z "$missing" ] && exit 0
sudo=""
[ "$(id -u)" -eq 0 ] || sudo=sudo
echo "installing:$missing"
$sudo apt-get update -q
$sudo env DEBIAN_FRONTEND=noninteractive apt-get install -y -q $missing
