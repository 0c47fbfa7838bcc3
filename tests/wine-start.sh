#!/bin/sh
# Starts the persistent wineserver that the Wine tests share, then runs each
# vwc.exe once, so that the prefix is made and Wine's services are up before
# the first test.
#   usage: wine-start.sh WINESERVER WINE64 EXE...
# Wine's daemons would hold CTest's output pipes open: their output goes to
# wine.log, shown only when the start fails.
server=$1 wine=$2
shift 2
# A prefix made before 32-bit Wine was installed never runs 32-bit programs.
if [ -d "$WINEPREFIX" ] && [ ! -f "$WINEPREFIX/drive_c/windows/syswow64/kernel32.dll" ] &&
   [ -f "$(dirname "$wine")/wine" ]; then
  rm -rf "$WINEPREFIX"
fi
mkdir -p "$WINEPREFIX"
(
  "$server" -k  # one left by an interrupted run
  "$server" -p || exit 1
  for exe; do "$wine" "$exe" || exit 1; done
) < /dev/null > wine.log 2>&1 || {
  cat wine.log
  echo "Wine could not run $* (a 32-bit vwc.exe needs 32-bit Wine, sh scripts/install-deps.sh wine32:i386,"
  echo "on a machine that runs 32-bit x86 programs: where it cannot, as root, sh scripts/i386-on-qemu.sh)"
  exit 1
}
