#!/usr/bin/env bash
# Checks a release's bill of materials: against CycloneDX's 1.6 schema, with
# every format the schema names; that broken copies of it are rejected; then
# against the packages themselves (.ci/check-sbom.py).
#   usage: bash .ci/sbom/check.sh DIST RELEASE_BUILD
#   e.g.   bash .ci/sbom/check.sh dist build-release
# Installs what it needs from Debian: python3-jsonschema and python3-rfc3987.
# The checks against the packages also need the tools release.sh installed.
set -euo pipefail
[ $# -eq 2 ] || { sed -n '5,6s/^# *//p' "$0"; exit 2; }
dist=$1 build=$2
here=$(cd "$(dirname "$0")" && pwd)

sh "$here/../../scripts/install-deps.sh" python3-jsonschema python3-rfc3987
bills=("$dist"/vwc-*.cdx.json)
[ ${#bills[@]} -eq 1 ] && [ -f "${bills[0]}" ] || { echo "$dist should hold one vwc-*.cdx.json"; exit 1; }
bill=${bills[0]}

(cd "$here/schema" && sha256sum --quiet -c SHA256SUMS) || { echo "$here/schema: not the files SHA256SUMS lists"; exit 1; }
echo "sbom: the schema files are the ones schema/SHA256SUMS lists"

/usr/bin/python3 "$here/validate.py" "$bill"

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
broken=$scratch/$(basename "$bill")
/usr/bin/python3 - "$bill" "$broken" <<'EOF'
import json, sys
bill = json.load(open(sys.argv[1]))
bill["components"][0]["type"] = "executable"
json.dump(bill, open(sys.argv[2], "w"))
EOF
if /usr/bin/python3 "$here/validate.py" "$broken" > "$scratch/out" 2>&1; then
  cat "$scratch/out"; echo "sbom: a copy whose first component has the type \"executable\" was accepted"; exit 1
fi
echo "sbom: a copy whose first component has the type \"executable\" is rejected:"
sed 's/^/  /' "$scratch/out"

/usr/bin/python3 "$here/validate.py" --must-reject "$bill"
echo "sbom: each broken copy is rejected by the rule it breaks"

/usr/bin/python3 "$here/../check-sbom.py" "$dist" "$build"
