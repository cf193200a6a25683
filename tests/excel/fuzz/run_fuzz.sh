#!/usr/bin/env bash
# Builds the workbook fuzzer with clang into <build dir> and runs it for <seconds> on a seed
# corpus: the workbook fixtures, the XML parts of the .xlsx one and the Workbook streams of
# some .xls ones (seeds/). Fails on a crash, a hang
# (one input over 10 s), a leak or running out of memory; the input is kept in
# <build dir>/artifacts.
#
#   run_fuzz.sh <build dir> [seconds]
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
build="$1"
seconds="${2:-20}"
fixtures="$here/../fixtures"

cmake -S "$here" -B "$build" -G Ninja -DCMAKE_CXX_COMPILER=clang++ \
    -DCMAKE_BUILD_TYPE=RelWithDebInfo > "$build.configure.log" 2>&1 ||
    { cat "$build.configure.log"; exit 1; }
cmake --build "$build"

corpus="$(mktemp -d)"
trap 'rm -rf "$corpus"' EXIT
mkdir -p "$corpus/new" "$corpus/seeds" "$build/artifacts"
cp "$fixtures"/*.xls "$fixtures"/*.xlsx "$here"/seeds/* "$corpus/seeds/"
cp "$fixtures"/lo/formulas*.xls* "$fixtures"/lo/values.xls* "$corpus/seeds/"
rm "$corpus"/seeds/*.csv
(cd "$corpus/seeds" && cmake -E tar xf "$fixtures/cards.xlsx")

# The fuzzer's scratch workbook file goes with the corpus.
TMPDIR="$corpus" "$build/fuzz_workbook" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
    -artifact_prefix="$build/artifacts/" -print_final_stats=1 "$corpus/new" "$corpus/seeds"
