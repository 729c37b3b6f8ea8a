#!/usr/bin/env bash
# Runs a fuzzer for SECONDS, with its dictionary and seeds (by default the manifest fuzzer's,
# kept here). It also starts from the corpus it grew on earlier runs, kept beside it in the build
# folder; an input that breaks a promise is saved in crashes/ there.
set -euo pipefail
fuzzer=$1
seconds=$2
here=$(cd "$(dirname "$0")" && pwd)
dictionary=${3:-$here/manifest.dict}
seeds=${4:-$here/seeds}
work=$(dirname "$fuzzer")
name=$(basename "$fuzzer")
mkdir -p "$work/$name-corpus" "$work/crashes"
exec "$fuzzer" -max_total_time="$seconds" -max_len=16384 -timeout=10 \
  -dict="$dictionary" -artifact_prefix="$work/crashes/$name-" \
  "$work/$name-corpus" "$seeds"
