#!/usr/bin/env bash
# Builds the fuzz targets, seeds their corpora from the committed samples and runs them one at a
# time (the machine's cores are shared).
#   fuzz/run.sh [TARGET...] [-- LIBFUZZER_OPTIONS...]
#   fuzz/run.sh lzma_step -- -runs=10000000
#   fuzz/run.sh -- -max_total_time=5        a smoke run of every target
# Corpora grow in build/fuzz/corpus/<target>; crashers land in build/fuzz/findings/.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."

targets=()
while [ $# -gt 0 ] && [ "$1" != "--" ]; do targets+=("$1"); shift; done
[ "${1:-}" = "--" ] && shift
[ ${#targets[@]} -gt 0 ] || targets=(package_directory package_file lzma_step entry_path)
options=("$@")
[ ${#options[@]} -gt 0 ] || options=(-max_total_time=60)

cmake --preset fuzz >/dev/null
cmake --build --preset fuzz
build=build/fuzz
mkdir -p "$build/corpus" "$build/findings"
"$build/fuzz/make_seeds" tests/data/package "$build/corpus"

for target in "${targets[@]}"; do
    echo "== fuzz_$target ${options[*]}"
    asan=detect_leaks=1
    # The LZMA step allocates its 128 KiB of buffers and the decoder's dictionary per call; with
    # ASan's default 256 MiB quarantine most of the time goes to unmapping them again.
    [ "$target" = lzma_step ] && asan=$asan:quarantine_size_mb=16
    start=$(date +%s)
    ASAN_OPTIONS=$asan UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1 \
        "$build/fuzz/fuzz_$target" "$build/corpus/$target" -timeout=10 \
        -artifact_prefix="$build/findings/$target-" -print_final_stats=1 "${options[@]}" 2>&1 |
        grep -E '^(#[0-9]+.*(DONE|pulse)|stat::|==[0-9]+==|SUMMARY|fuzz finding|artifact|Done)' || true
    echo "== fuzz_$target: $(( $(date +%s) - start )) s"
done
