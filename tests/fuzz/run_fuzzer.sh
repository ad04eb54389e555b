#!/usr/bin/env bash
# run_fuzzer.sh FUZZER SEEDS: runs every seed (crashes found earlier stay fixed), then
# fuzzes for TOLVA_FUZZ_SECONDS (default 60) from a scratch copy of the seeds, so that
# the corpus in the repository changes only by hand. A finding is kept in
# $TOLVA_FUZZ_ARTIFACTS (default the build's fuzz-findings/) and fails the test.
# The seed is fixed (TOLVA_FUZZ_SEED, default 1) so that a run is repeatable and a test
# failure is a finding anyone can reproduce; TOLVA_FUZZ_SEED=0 explores with a random one.
set -euo pipefail
fuzzer=$1 seeds=$2
name=$(basename "$fuzzer")
artifacts=${TOLVA_FUZZ_ARTIFACTS:-$(dirname "$fuzzer")/../fuzz-findings}/$name
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$artifacts"
"$fuzzer" -runs=0 "$seeds"
"$fuzzer" -seed="${TOLVA_FUZZ_SEED:-1}" -max_total_time="${TOLVA_FUZZ_SECONDS:-60}" -timeout=10 -rss_limit_mb=3072 -max_len=16384 \
  -print_final_stats=1 -artifact_prefix="$artifacts/" "$work" "$seeds"
