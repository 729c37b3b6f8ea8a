#!/usr/bin/env bash
# Runs a command in private namespaces, as the unmodified setup needs it for a test:
# - a private network with only loopback, where the vendor's download host is 127.0.0.1;
# - a test certificate authority, made now, added to a private copy of the CA bundle;
# - an X display of its own (Xvfb) and the Wine prefix of WINEPREFIX.
# Nothing outside the namespaces changes, and everything started here ends with it.
# The command sees CORVANTA_TEST_CERTS: ca.pem, server.pem and server.key for the download host,
# and other-ca.pem, other-server.pem, other-server.key from an authority nobody trusts.
set -euo pipefail

if [ "${CORVANTA_IN_SANDBOX:-}" != 1 ]; then
  export CORVANTA_IN_SANDBOX=1
  exec unshare --mount --net --fork --kill-child -- "$0" "$@"
fi

here=$(cd "$(dirname "$0")" && pwd)
build_config=${CORVANTA_WIN32_BUILD_DIR:?}/build-config.json
host=$(python3 -c 'import json,sys; print(json.load(open(sys.argv[1]))["download_host"])' "$build_config")

ip link set lo up
mount --make-rprivate /
# A /tmp of its own: Wine's server socket and the display's lock and socket live there.
mount -t tmpfs tmpfs /tmp
work=/tmp/sandbox
mkdir -p "$work"
export CORVANTA_TEST_CERTS="$work/certs"
"$here/make-certs.sh" "$CORVANTA_TEST_CERTS" "$host" >/dev/null

{ cat /etc/hosts; echo "127.0.0.1 $host"; } > "$work/hosts"
mount --bind "$work/hosts" /etc/hosts
cat /etc/ssl/certs/ca-certificates.crt "$CORVANTA_TEST_CERTS/ca.pem" > "$work/ca-certificates.crt"
mount --bind "$work/ca-certificates.crt" /etc/ssl/certs/ca-certificates.crt

export WINEDEBUG=${WINEDEBUG:--all}
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=}
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$work/display" >/dev/null 2>&1 &
xvfb=$!
for _ in $(seq 100); do
  [ -s "$work/display" ] && break
  sleep 0.1
done
export DISPLAY=":$(cat "$work/display")"

status=0
"$@" || status=$?
wineserver -k 2>/dev/null || true
wineserver -w 2>/dev/null || true
kill "$xvfb" 2>/dev/null || true
exit $status
