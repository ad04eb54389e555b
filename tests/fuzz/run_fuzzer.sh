#!/usr/bin/env bash
# run_fuzzer.sh FUZZER SEEDS: runs every seed, then fuzzes for TOLVA_FUZZ_SECONDS (default 60)
# with the fixed seed TOLVA_FUZZ_SEED (default 1; 0 for a random one), so a failure is a
# finding anyone can repeat. New inputs go to a scratch folder, findings to the build's fuzz-findings/.
set -euo pipefail
artifacts=$(dirname "$1")/../fuzz-findings/$(basename "$1")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$artifacts"
"$1" -seed="${TOLVA_FUZZ_SEED:-1}" -max_total_time="${TOLVA_FUZZ_SECONDS:-60}" -timeout=10 -rss_limit_mb=3072 \
  -max_len=16384 -print_final_stats=1 -artifact_prefix="$artifacts/" "$work" "$2"
