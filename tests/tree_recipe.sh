#!/usr/bin/env bash
# The README's recipe for counting a tree, run as it stands there: the man
# page holds the same words; its sum is one vwc's over all the files; and it
# fails when a file or a folder cannot be read.
#   usage: tree_recipe.sh VWC SOURCE_DIR
set -euo pipefail
vwc=$1 source=$2
fail() { echo "FAIL: $*"; exit 1; }

# The first code block under the README's heading; the man page's block that
# runs xargs, its roff escapes undone.
recipe=$(awk '/^## Counting a large tree/ { section = 1; next }
              section && /^```/ { if (block) exit; block = 1; next }
              block' "$source/README.md")
man_recipe=$(awk '/^\.nf/ { block = ""; next }
                  /^\.fi/ { if (block ~ /xargs/) { printf "%s", block; exit } next }
                  { block = block $0 "\n" }' "$source/doc/vwc.1" |
             sed -e 's/\\-/-/g' -e "s/\\\\(aq/'/g" -e 's/\\(rs/\\/g')
[ -n "$recipe" ] || fail "no recipe in README.md"
[ "$recipe" = "$man_recipe" ] || { diff <(echo "$recipe") <(echo "$man_recipe") || true; fail "the man page's recipe is not the README's"; }

work=$(mktemp -d)
trap 'chmod -R u+rwX "$work"; rm -rf "$work"' EXIT
chmod 755 "$work"
mkdir -p "$work/bin" "$work/rtl/sub" "$work/rtl/folder.v"
install -m 755 "$vwc" "$work/bin/vwc"
cp "$source/examples/counter.v" "$work/rtl/a.v"
printf 'module b;\n  reg q;\nendmodule\n' > "$work/rtl/sub/b.v"
printf 'always @(posedge clk) begin end\n' > "$work/rtl/z.v"
printf 'input x; output y;\n' > "$work/rtl/folder.v/c.v"
printf 'module not_verilog;\n' > "$work/rtl/notes.txt"
chmod -R a+rX "$work/rtl"
# Every file ends in a newline, so one vwc over them all counts the same.
expected=$(cd "$work" && cat rtl/a.v rtl/sub/b.v rtl/z.v rtl/folder.v/c.v | bin/vwc)

# Root reads any file: the recipe then runs as nobody.
as_user=()
[ "$(id -u)" -ne 0 ] || as_user=(setpriv --reuid=nobody --regid="$(id -g nobody)" --clear-groups --)
run() {  # STATUS: the recipe must end with it
  local status=0
  (cd "$work" && PATH="$work/bin:$PATH" "${as_user[@]}" bash -c "$recipe") > "$work/out" 2> "$work/err" || status=$?
  [ "$status" -eq "$1" ] || { cat "$work/out" "$work/err"; fail "status $status, not $1"; }
}

run 0
[ "$(cat "$work/out")" = "$expected" ] || { echo "$expected"; cat "$work/out"; fail "the sum is not one vwc's"; }
[ ! -s "$work/err" ] || { cat "$work/err"; fail "messages with every file readable"; }
echo "every file readable: status 0, the sum of one vwc over them all"

chmod 000 "$work/rtl/z.v"
run 123
grep -q "rtl/z.v" "$work/err" || { cat "$work/err"; fail "no message names rtl/z.v"; }
echo "one file unreadable: status 123 and $(cat "$work/err")"
chmod 644 "$work/rtl/z.v"

chmod 000 "$work/rtl/sub"
run 1
grep -q "rtl/sub" "$work/err" || { cat "$work/err"; fail "no message names rtl/sub"; }
echo "one folder unreadable: status 1 and $(cat "$work/err")"
chmod 755 "$work/rtl/sub"

# No file at all: a report of zeros, and no vwc run on nothing.
zeros=$("$work/bin/vwc" < /dev/null)
find "$work/rtl" -name '*.v' -type f -delete
run 0
[ "$(cat "$work/out")" = "$zeros" ] && [ ! -s "$work/err" ] || { cat "$work/out" "$work/err"; fail "a tree with no file"; }
rm -rf "$work/rtl"
run 1
grep -q "rtl" "$work/err" && [ "$(cat "$work/out")" = "$zeros" ] || { cat "$work/out" "$work/err"; fail "no tree"; }
echo "no file: status 0 and a report of zeros; no folder: status 1 and $(cat "$work/err")"
