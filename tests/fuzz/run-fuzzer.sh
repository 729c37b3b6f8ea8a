#!/usr/bin/env bash
# Runs the manifest fuzzer for SECONDS. It starts from the seeds kept here and from the corpus it
# grew on earlier runs, kept beside the fuzzer in the build folder; an input that breaks a
# promise is saved in crashes/ there.
set -euo pipefail
fuzzer=$1
seconds=$2
here=$(cd "$(dirname "$0")" && pwd)
work=$(dirname "$fuzzer")
mkdir -p "$work/corpus" "$work/crashes"
exec "$fuzzer" -max_total_time="$seconds" -max_len=16384 -timeout=10 \
  -dict="$here/manifest.dict" -artifact_prefix="$work/crashes/" \
  "$work/corpus" "$here/seeds"
