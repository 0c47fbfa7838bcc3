#!/bin/sh
# Fuzzes one target for SECONDS from the kept seeds and the examples, with
# the dictionary, then replays what it kept under gdb: it fails unless some
# input made the scanner's buffer grow, the point of both targets.  What the
# fuzzer finds goes to a scratch folder, not the work tree, and into the log
# in hex and base64, so that a fault found anywhere can be replayed.
#   usage: sh tests/fuzz/smoke.sh TARGET SECONDS SOURCE_DIR [LIBFUZZER OPTIONS...]
set -eu
target=$1 seconds=$2 source=$3
shift 3
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir "$work/corpus" "$work/found"
if ! "$target" -max_total_time="$seconds" -dict="$source/tests/fuzz/verilog.dict" -print_final_stats=1 \
     -artifact_prefix="$work/found/" "$@" "$work/corpus" "$source/tests/fuzz/seeds" "$source/examples"; then
  for file in "$work"/found/*; do
    [ -e "$file" ] || continue
    echo "reproducer $file, in hex:"; od -An -tx1 -v "$file"
    echo "and in base64 (base64 -d > input; $target input):"; base64 "$file"
  done
  exit 1
fi
gdb -batch -x "$source/tests/fuzz/growths.gdb" --args "$target" -runs=0 "$work/corpus" > "$work/gdb.log" 2>&1 || true
tail -n 1 "$work/gdb.log"
grep -q "^buffer growths: [1-9]" "$work/gdb.log" || { cat "$work/gdb.log"; echo "no input made the buffer grow"; exit 1; }
