#!/usr/bin/env bash
# CI, as root: release.sh run under reprotest in a clean clone, once as the
# control and twice varied, and diffoscope finding no difference in dist/.
# Every variation this reprotest has is on: the build path, environment,
# PATH, file order (disorderfs), HOME, kernel version, locale, number of
# CPUs, time, time zone, umask, user and group, host and domain name, and
# address-space randomization.  The second varied build drops the user, whose
# sudo resets PATH, so that the PATH variation is tried too.
set -euo pipefail
cd "$(dirname "$0")/.."
sh scripts/install-deps.sh reprotest diffoscope disorderfs faketime sudo locales-all
work=$(mktemp -d)
cleanup() { status=$?; rm -rf "$work"; userdel -r vwc-builder 2>/dev/null || true; exit $status; }
trap cleanup EXIT
# The varied user builds as vwc-builder.
id vwc-builder >/dev/null 2>&1 || useradd --create-home --shell /bin/sh vwc-builder
# reprotest 0.7.23 runs sudo -h localhost, which sudo 1.9 refuses unless
# listing privileges: its sudo goes through this instead.
mkdir "$work/bin"
cat > "$work/bin/sudo" <<'SHIM'
#!/bin/sh
[ "${1:-}" = -h ] && [ "${2:-}" = localhost ] && shift 2
exec /usr/bin/sudo "$@"
SHIM
chmod 755 "$work/bin/sudo"
git clone -q . "$work/vwc"
chmod 755 "$work"
start=$SECONDS
status=0
PATH="$work/bin:$PATH" reprotest --verbosity 1 --store-dir "$work/store" \
  --variations=+all,user_group.available+=vwc-builder:vwc-builder,domain_host.use_sudo=1 \
  --extra-build=-user_group \
  -c 'sh scripts/release.sh' "$work/vwc" 'dist/*' || status=$?
for out in "$work"/store/*.diffoscope.out; do
  [ ! -e "$out" ] || { echo "== $out"; cat "$out"; }
done
echo "reprotest: status $status in $((SECONDS - start)) s"
exit $status
