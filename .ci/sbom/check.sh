#!/usr/bin/env bash
# Checks a release's bill of materials: against CycloneDX's 1.6 schema, with
# every format the schema names (validate.py fetches the schema once); that
# broken copies of it are rejected, each by the rule it breaks; then
# against the packages themselves (.ci/check-sbom.py).
#   usage: bash .ci/sbom/check.sh DIST RELEASE_BUILD
#   e.g.   bash .ci/sbom/check.sh dist build-release
# Installs what it needs from Debian: python3-jsonschema and python3-rfc3987.
# The checks against the packages also need the tools release.sh installed.
set -euo pipefail
[ $# -eq 2 ] || { sed -n '6,7s/^# *//p' "$0"; exit 2; }
dist=$1 build=$2
here=$(cd "$(dirname "$0")" && pwd)

sh "$here/../../scripts/install-deps.sh" python3-jsonschema python3-rfc3987
bills=("$dist"/vwc-*.cdx.json)
[ ${#bills[@]} -eq 1 ] && [ -f "${bills[0]}" ] || { echo "$dist should hold one vwc-*.cdx.json"; exit 1; }
bill=${bills[0]}

/usr/bin/python3 "$here/validate.py" "$bill"

/usr/bin/python3 "$here/validate.py" --must-reject "$bill"
echo "sbom: each broken copy is rejected by the rule it breaks"

/usr/bin/python3 "$here/../check-sbom.py" "$dist" "$build"
