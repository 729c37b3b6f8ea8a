#!/usr/bin/env bash
# Runs a command in private namespaces, as the unmodified setup needs it for a test:
# - a private network with only loopback, where the vendor's download host is 127.0.0.1;
# - a test certificate authority, made now, added to a private copy of the CA bundle;
# - an X display of its own (Xvfb) and the Wine prefix of WINEPREFIX;
# - a private /tmp, which still shows the checkout, its build folders and the folders named in
#   CORVANTA_SANDBOX_KEEP when they lie under the real /tmp.
# Nothing outside the namespaces changes, and everything started here ends with it.
# The command sees CORVANTA_TEST_CERTS: ca.pem, server.pem and server.key for the download host,
# and other-ca.pem, other-server.pem, other-server.key from an authority nobody trusts.
# With CORVANTA_SANDBOX_DISPLAY=keep and a local DISPLAY, the command uses that display instead
# of Xvfb (the demo on the user's screen). CORVANTA_SANDBOX_SCREEN sets Xvfb's screen as
# WIDTHxHEIGHTxDEPTH (1024x768x24 by default).
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

# Paths the command works on: the checkout, its build folders and prefix, and whatever the caller
# names in CORVANTA_SANDBOX_KEEP (a colon-separated list), resolved while /tmp is still the real one.
kept=()
IFS=: read -r -a extra_kept <<< "${CORVANTA_SANDBOX_KEEP:-}"
for path in "$here/../.." "$PWD" "${WINEPREFIX:-}" "${CORVANTA_WIN32_BUILD_DIR:-}" \
            "${CORVANTA_HOST_BUILD_DIR:-}" "${extra_kept[@]}"; do
  [ -n "$path" ] && kept+=("$(realpath -m -- "$path")")
done

# The real /tmp stays reachable here while /tmp itself becomes private below.
hold=/run/corvanta-sandbox
mkdir -p "$hold"
mount -t tmpfs tmpfs "$hold"
mkdir "$hold/tmp"
mount --bind /tmp "$hold/tmp"

keep_display=
if [ "${CORVANTA_SANDBOX_DISPLAY:-}" = keep ] && [[ "${DISPLAY:-}" == :* ]]; then
  keep_display=1
  if [ -f "${XAUTHORITY:-$HOME/.Xauthority}" ]; then
    cp "${XAUTHORITY:-$HOME/.Xauthority}" "$hold/xauthority"
    export XAUTHORITY=$hold/xauthority
  fi
fi

# A /tmp of its own: Wine's server socket and the display's lock and socket live there.
mount -t tmpfs tmpfs /tmp
# A kept path under the real /tmp comes back through the top-level entry of /tmp that holds it,
# so that a checkout, a prefix or an output folder there is neither hidden nor copied.
keep_from_real_tmp() {
  local entry
  case "$1" in /tmp/?*) ;; *) return 0 ;; esac
  entry=${1#/tmp/}
  entry=${entry%%/*}
  [ -e "/tmp/$entry" ] && return 0
  [ -e "$hold/tmp/$entry" ] || mkdir -p "$hold/tmp/$entry"  # an output folder not made yet
  if [ -d "$hold/tmp/$entry" ]; then mkdir "/tmp/$entry"; else touch "/tmp/$entry"; fi
  mount --bind "$hold/tmp/$entry" "/tmp/$entry"
}
for path in "${kept[@]}"; do keep_from_real_tmp "$path"; done
if [ -n "$keep_display" ]; then
  mkdir /tmp/.X11-unix
  mount --bind "$hold/tmp/.X11-unix" /tmp/.X11-unix
fi
work=/tmp/sandbox
mkdir -p "$work"
export CORVANTA_TEST_CERTS="$work/certs"
"$here/make-certs.sh" "$CORVANTA_TEST_CERTS" "$host" >/dev/null

{ cat /etc/hosts; echo "127.0.0.1 $host"; } > "$work/hosts"
mount --bind "$work/hosts" /etc/hosts
cat /etc/ssl/certs/ca-certificates.crt "$CORVANTA_TEST_CERTS/ca.pem" > "$work/ca-certificates.crt"
mount --bind "$work/ca-certificates.crt" /etc/ssl/certs/ca-certificates.crt

export WINEDEBUG=${WINEDEBUG:--all}
# Without Mono and Gecko installers, and without Wine's menu builder, which would copy every
# shortcut a test makes into the real home folder's application menus.
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=;winemenubuilder.exe=d}
xvfb=
if [ -z "$keep_display" ]; then
  Xvfb -displayfd 3 -screen 0 "${CORVANTA_SANDBOX_SCREEN:-1024x768x24}" -nolisten tcp 3>"$work/display" >/dev/null 2>&1 &
  xvfb=$!
  for _ in $(seq 100); do
    [ -s "$work/display" ] && break
    sleep 0.1
  done
  export DISPLAY=":$(cat "$work/display")"
fi

status=0
"$@" || status=$?
wineserver -k 2>/dev/null || true
wineserver -w 2>/dev/null || true
[ -z "$xvfb" ] || kill "$xvfb" 2>/dev/null || true
exit $status
