#!/usr/bin/env bash
# Assembles the folder that the demo's download server serves as /installs/cvn/: the demo
# product from the Windows build, its help file, sample data, and the map.txt that lists them.
# Usage: scripts/make-demo-payload.sh OUT_DIR
# CORVANTA_WIN32_BUILD_DIR and CORVANTA_MAPTOOL override where the build and maptool are.
set -euo pipefail

if [ $# -ne 1 ]; then
  echo "usage: $0 OUT_DIR" >&2
  exit 2
fi
out=$1
source_dir=$(cd "$(dirname "$0")/.." && pwd)
win32=${CORVANTA_WIN32_BUILD_DIR:-$source_dir/build/win32}
maptool=${CORVANTA_MAPTOOL:-}
if [ -z "$maptool" ]; then
  for candidate in build/host/maptool build/host/tools/maptool/maptool; do
    if [ -x "$source_dir/$candidate" ]; then maptool=$source_dir/$candidate; break; fi
  done
fi
program=$win32/demo/Corvanta.exe
if [ ! -f "$program" ] || [ ! -x "${maptool:-/nonexistent}" ]; then
  echo "$0: needs $program and build/host's maptool; run 'make build' first" >&2
  exit 1
fi

# maptool lists every file in the folder, so the folder holds the payload and nothing else.
payload_names=(Corvanta.exe Help Data map.txt)
mkdir -p "$out"
stray=$(find "$out" -mindepth 1 -maxdepth 1 ! -name Corvanta.exe ! -name Help ! -name Data \
  ! -name map.txt -print -quit)
if [ -n "$stray" ]; then
  echo "$0: $stray is not part of the payload; give an empty or earlier payload folder" >&2
  exit 1
fi
for name in "${payload_names[@]}"; do rm -rf "${out:?}/$name"; done

cp "$program" "$out/Corvanta.exe"
python3 "$source_dir/demo/help/make_chm.py" "$out/Help/Corvanta.chm" "Corvanta Help" \
  "$source_dir/demo/help/Corvanta.htm"
mkdir -p "$out/Data"
cp -R "$source_dir/demo/data/." "$out/Data/"

# Written beside the folder first: a map.txt inside it while maptool runs would list itself.
manifest=$(mktemp)
trap 'rm -f "$manifest"' EXIT
"$maptool" make "$out" > "$manifest"
mv "$manifest" "$out/map.txt"
chmod 644 "$out/map.txt"
echo "$out"
