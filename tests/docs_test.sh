#!/usr/bin/env bash
# What the docs say is what vwc does: every report of examples/counter.v that
# a doc prints is what VWC prints for it; the man page has no groff warning;
# every version of vwc the docs spell is the project's.
#   usage: docs_test.sh VWC SOURCE_DIR
set -euo pipefail
vwc=$1 source=$2
failed=0
fail() { echo "FAIL: $*"; failed=1; }

expected=$("$vwc" < "$source/examples/counter.v")

# A report is a "Verilog keywords=" line and the line before it, printed
# within six lines after a command that runs vwc on counter.v. Each is
# printed as "LINE<TAB>line before<TAB>counts line", leading blanks taken off.
reports() {
  awk '{ line = $0; sub(/^[ \t]+/, "", line) }
       armed && line ~ /^Verilog keywords=/ { printf "%d\t%s\t%s\n", FNR - 1, before, line; armed = 0 }
       armed { armed-- }
       /vwc(\.exe)? *< *([^ "]*\/)?counter\.v/ { armed = 6 }
       { before = line }' "$1"
}

for doc in README.md doc/vwc.1 doc/linux-readme.txt windows/README.txt; do
  found=0
  while IFS=$'\t' read -r line header counts; do
    found=$((found + 1))
    if [ "$header"$'\n'"$counts" != "$expected" ]; then
      fail "$doc:$line prints a report of counter.v that vwc does not:"
      diff <(echo "$expected") <(printf '%s\n%s\n' "$header" "$counts") | sed -n 's/^[<>]/  &/p' || true
      echo "  (< is what vwc prints, > what $doc says)"
    fi
  done < <(reports "$source/$doc")
  [ "$found" -gt 0 ] || fail "$doc prints no report of vwc run on counter.v"
  echo "$doc: $found report(s) of counter.v checked"
done

warnings=$(groff -man -ww -z "$source/doc/vwc.1" 2>&1)
[ -z "$warnings" ] || fail "groff warns on doc/vwc.1:"$'\n'"$warnings"

# The version is set once, in project(); a doc that spells one (vwc-1.2.3,
# vwc_1.2.3, "vwc 1.2.3") must spell that one. The man page's .TH line must.
version=$(sed -n 's/^project(vwc VERSION \([0-9.]*\).*/\1/p' "$source/CMakeLists.txt")
[ -n "$version" ] || fail "no version in CMakeLists.txt's project()"
grep -qE '^\.TH .*"vwc [0-9]+\.[0-9]+\.[0-9]+"' "$source/doc/vwc.1" || fail "doc/vwc.1's .TH line names no version"
wrong=$(cd "$source" && grep -noE 'vwc[-_ ][0-9]+\.[0-9]+\.[0-9]+' README.md CONTRIBUTING.md RELEASING.md doc/vwc.1 |
        grep -v ":vwc.$version\$" | sort -u) || true
if [ -n "$wrong" ]; then
  fail "the version is $version, but these docs spell another (file:line:spelling):"$'\n'"$wrong"
else
  echo "versions in the docs: $version, as in CMakeLists.txt"
fi

exit $failed
