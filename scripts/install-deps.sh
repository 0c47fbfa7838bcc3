#!/bin/sh
# Installs the Debian or Ubuntu packages that building and testing vwc needs
# (groff for the man page's check), plus any named on the command line,
# skipping those already installed.  A package of another architecture, such
# as wine32:i386, has that architecture enabled first.  Safe to run again.
# Run as root, or as a user whom sudo lets in.
#
# The package lists are updated only when some package has no candidate in
# them, or a download shows them stale.  A list that fails to update, as
# when a mirror is in the middle of a sync, is tried again for a minute and
# then left out with a warning: what decides is whether the install works.
# Exits 1, naming each package that could not be installed, when one could
# not.
set -eu
packages="flex cmake make g++ libgtest-dev groff-base $*"
missing=""
for p in $packages; do
  case " $missing " in *" $p "*) continue ;; esac
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'ok installed' || missing="$missing $p"
done
[ -z "$missing" ] && exit 0
# Not root: sudo, if it lets this user in.  Said at once, in one line, when
# nothing can be installed.
sudo=""
if [ "$(id -u)" -ne 0 ]; then
  if ! command -v sudo > /dev/null 2>&1; then
    why="not root, and there is no sudo"
  elif sudo -n true 2> /dev/null || { [ -t 0 ] && sudo -v; }; then
    sudo=sudo
  else
    why="not root, and sudo does not let $(id -un) in"
  fi
  [ -n "$sudo" ] || { echo "install-deps.sh: cannot install$missing: $why" >&2; exit 1; }
fi
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

# apt-get, with its messages in $err, in English for this script to read.
# Another apt or dpkg may be at work, as on a fresh machine busy with its
# first upgrades.  apt-get waits for dpkg's locks when told to, but fails at
# once on the package lists' and the download cache's (apt 2.6): then it is
# run again, for up to 10 minutes too.
err=$(mktemp)
trap 'rm -f "$err"' EXIT
apt_get() {
  waited=0
  until $sudo env LC_ALL=C DEBIAN_FRONTEND=noninteractive apt-get -o DPkg::Lock::Timeout=600 "$@" 2>"$err"; do
    if ! grep -q '/lock' "$err" || [ $waited -ge 600 ]; then
      return 1
    fi
    [ $waited -gt 0 ] || { head -n 1 "$err" >&2; echo "waiting for it"; }
    sleep 5
    waited=$((waited + 5))
  done
  cat "$err" >&2
}
# apt's errors in $err, on one line.
reasons() {
  grep '^E: ' "$err" | grep -v '^E: Some index files failed to download' | sed 's/^E: //; s/ *\[IP: [^]]*\]//' |
    paste -s -d ';' - | sed 's/;/; /g'
}

update_lists() {
  tries=1
  until apt_get update -q; do
    if [ $tries -eq 4 ]; then
      echo "install-deps.sh: warning: apt-get update failed: $(reasons); going on with the package lists there are" >&2
      return 0
    fi
    [ $tries -gt 1 ] || echo "install-deps.sh: apt-get update failed: $(reasons); trying again for a minute" >&2
    sleep $((tries * 10))
    tries=$((tries + 1))
  done
}

updated=no
for p in $missing; do
  if ! LC_ALL=C apt-cache policy "$p" 2>/dev/null | grep -q '^  Candidate: [^(]'; then
    update_lists
    updated=yes
    break
  fi
done
if apt_get install -y -q $missing; then
  exit 0
fi
# A file that is no longer on the mirror: the lists are older than it is.
if [ $updated = no ] && grep -q '^E: Failed to fetch .* 404 ' "$err"; then
  update_lists
  apt_get install -y -q $missing && exit 0
fi
cat "$err" >&2
# Then one by one, so that every package that can be installed is, and each
# that cannot is named with apt's reason.
set -- $missing
failed=""
for p; do
  if [ $# -gt 1 ]; then
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'ok installed' && continue
    apt_get install -y -q "$p" && continue
  fi
  echo "install-deps.sh: cannot install $p: $(reasons)" >&2
  failed="$failed $p"
done
[ -z "$failed" ] || { echo "install-deps.sh: could not install:$failed" >&2; exit 1; }
