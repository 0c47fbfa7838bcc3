#!/bin/sh
# 32-bit Wine is a 32-bit x86 Linux program.  Some machines' kernels run
# 64-bit programs only ("Exec format error"); there this has the kernel hand
# 32-bit x86 programs to qemu-i386 through binfmt_misc, so that 32-bit Wine,
# and the 32-bit vwc.exe in it, still run.  Needs root and qemu-user; does
# nothing where 32-bit programs run already.
set -eu
loader=/usr/lib/wine/wine  # 32-bit Wine's own loader
[ -x "$loader" ] || { echo "$loader is missing: sh scripts/install-deps.sh wine32:i386"; exit 1; }
"$loader" --version >/dev/null 2>&1 && exit 0
binfmt=/proc/sys/fs/binfmt_misc
[ -e $binfmt/register ] || mount -t binfmt_misc binfmt_misc $binfmt
if [ ! -e $binfmt/qemu-i386 ]; then
  # ELF, 32-bit, little-endian, an executable or shared object for the 386.
  magic='\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00'
  mask='\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff'
  printf '%s' ":qemu-i386:M::$magic:$mask:$(command -v qemu-i386):FP" > $binfmt/register
fi
"$loader" --version >/dev/null
echo "32-bit x86 programs run under qemu-i386 on this machine"
