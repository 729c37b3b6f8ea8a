#!/usr/bin/env bash
# make demo: the setup installs the demo product from our download server on a private
# loopback network. On the user's display when DISPLAY names a local one; otherwise under Xvfb,
# walking the pages by itself and saving a picture of each under build/demo (or under the
# folder given as the first argument; further arguments go to the walk, such as
# --licence-at-dpi 144 for a picture of the licence page at 144 DPI).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
pictures=$(realpath -m -- "${1:-$root/build/demo}")
shift $(( $# > 0 ? 1 : 0 ))
cd "$root"

export CORVANTA_SOURCE_DIR=$root
export CORVANTA_WIN32_BUILD_DIR=${CORVANTA_WIN32_BUILD_DIR:-$root/build/win32}
export WINEPREFIX=$root/build/demo-prefix
payload=$root/build/demo-payload
# The sandbox's private /tmp must still show the pictures' folder.
export CORVANTA_SANDBOX_KEEP=$pictures

tests/wine/make-prefix.sh "$WINEPREFIX" >/dev/null
scripts/make-demo-payload.sh "$payload" >/dev/null

case "${DISPLAY:-}" in
  :*)
    # A local display: the sandbox keeps it instead of starting Xvfb.
    CORVANTA_SANDBOX_DISPLAY=keep tests/e2e/sandbox.sh python3 scripts/demo_walk.py --interactive "$payload"
    ;;
  *)
    if [ -n "${DISPLAY:-}" ]; then
      echo "DISPLAY=$DISPLAY is a network display, which the demo's private network cannot reach;" \
           "walking the pages under Xvfb instead." >&2
    fi
    tests/e2e/sandbox.sh python3 scripts/demo_walk.py --pictures "$pictures" "$@" "$payload"
    ;;
esac
