#!/usr/bin/env bash
# Builds the workbook fuzzer with clang into <build dir> and runs it for <seconds> on a seed
# corpus: the workbook fixtures, the XML parts of the .xlsx one and the Workbook streams of
# some .xls ones (seeds/). What fails the run: tests/fuzz/libfuzzer.sh.
#
#   run_fuzz.sh <build dir> [seconds]
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
build="$1"
seconds="${2:-20}"
fixtures="$here/../fixtures"

source "$here/../../fuzz/libfuzzer.sh"
prepare_fuzzer "$here" "$build"
cp "$fixtures"/*.xls "$fixtures"/*.xlsx "$here"/seeds/* "$corpus/seeds/"
cp "$fixtures"/lo/formulas*.xls* "$fixtures"/lo/values.xls* "$corpus/seeds/"
rm "$corpus"/seeds/*.csv
(cd "$corpus/seeds" && cmake -E tar xf "$fixtures/cards.xlsx")

run_fuzzer "$build" fuzz_workbook "$seconds"
