#!/usr/bin/env bash
# make bench: measures the setup against baselines in one run, over the test download server on
# a private loopback network, and writes build/bench/results.md and results.json. The setup
# built with publisher keys (build/win32-keyed, with throwaway keys made now) installs a signed
# release of each payload beside it. The installs run in rounds, every contender once a round,
# and on the first payload the default setup runs twice a round to show how far apart two
# measurements of the same build come.
#   BENCH_RUNS       rounds of installs (6); start-ups get two more
#   BENCH_PAYLOADS   a part of small,medium,large, for a quicker look
#   BENCH_SETUP_EXE  another build of the setup to measure, such as a candidate fix
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"

if [[ -n "${BENCH_RUNS:-}" && ! "$BENCH_RUNS" =~ ^[1-9][0-9]*$ ]]; then
  echo "BENCH_RUNS must be a positive number, got '$BENCH_RUNS'" >&2
  exit 2
fi
export CORVANTA_SOURCE_DIR=$root
export CORVANTA_WIN32_BUILD_DIR=$root/build/win32
export WINEPREFIX=$root/build/bench-prefix
out=$root/build/bench

tests/wine/make-prefix.sh "$WINEPREFIX" >/dev/null
# The setup built with publisher keys, made now, as the tests make it.
keyed=$root/build/win32-keyed
tests/e2e/make-keyed-setup.sh "$keyed" 0 >/dev/null
mkdir -p "$out"
tests/e2e/sandbox.sh python3 bench/run_bench.py --out "$out" --maptool "$root/build/host/maptool" \
  --keyed-build "$keyed" \
  ${BENCH_RUNS:+--runs "$BENCH_RUNS"} \
  ${BENCH_PAYLOADS:+--payloads "$BENCH_PAYLOADS"} \
  ${BENCH_SETUP_EXE:+--setup-exe "$(realpath "$BENCH_SETUP_EXE")"}
