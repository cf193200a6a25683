# What the fuzz runners share, sourced by each: build a fuzz project with clang (libFuzzer needs
# clang while the program is built with g++), then run its target on a seed corpus until the
# time is up. A crash, a hang (one input over 10 s), a leak or running out of memory fails the
# run (the memory bound is the readers' own, well under 512 MB); the input is kept in
# <build dir>/artifacts.
set -euo pipefail

# Configures and builds the fuzz project in <project dir> into <build dir>, and makes an empty
# corpus whose seeds/ folder the caller fills; its path is in $corpus.
prepare_fuzzer() {
    local project="$1" build="$2"
    cmake -S "$project" -B "$build" -G Ninja -DCMAKE_CXX_COMPILER=clang++ \
        -DCMAKE_BUILD_TYPE=RelWithDebInfo > "$build.configure.log" 2>&1 ||
        { cat "$build.configure.log"; exit 1; }
    cmake --build "$build"
    corpus="$(mktemp -d)"
    trap 'rm -rf "$corpus"' EXIT
    mkdir -p "$corpus/new" "$corpus/seeds" "$build/artifacts"
}

# Runs <build dir>/<target> for <seconds> on the corpus. Its scratch files go with the corpus.
run_fuzzer() {
    local build="$1" target="$2" seconds="$3"
    TMPDIR="$corpus" "$build/$target" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=512 \
        -artifact_prefix="$build/artifacts/" -print_final_stats=1 "$corpus/new" "$corpus/seeds"
}
