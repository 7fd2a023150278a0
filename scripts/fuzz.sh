#!/usr/bin/env bash
# Builds a fuzzer with clang (AddressSanitizer, UBSan) in its own build folder and fuzzes
# for the given number of seconds (default 600):
#   interchange  interchange files read into a database (the default); its seed corpus is
#                written with the program's own writers
#   ics          other programs' iCalendar files, as `ics import` reads them; seeds: the
#                test fixtures and fuzz/seeds/ics
#   davxml       a CalDAV server's multistatus answers; seeds: fuzz/seeds/davxml
# The corpus grows in build-fuzz/corpus (corpus-ics, corpus-davxml); a crash, a sanitizer
# report, a slow input or a broken check leaves its input in build-fuzz/findings and makes
# the script fail. Needs the Debian packages clang and libclang-rt-dev.
# Usage: scripts/fuzz.sh [interchange|ics|davxml] [SECONDS] [extra libFuzzer options...]
set -euo pipefail
cd "$(dirname "$0")/.."
target=interchange
case "${1:-}" in
  interchange | ics | davxml) target="$1"; shift ;;
esac
seconds="${1:-600}"
shift || true
build="${FUZZ_BUILD_DIR:-build-fuzz}"

launcher=()
if command -v ccache >/dev/null; then launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache); fi
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=clang++ \
  -DQUILLPAD_FUZZ=ON "${launcher[@]}" >/dev/null

mkdir -p "$build/findings"
case "$target" in
  interchange)
    cmake --build "$build" --target fuzz_interchange fuzz_seeds
    corpus="$build/corpus"
    seeds="$build/seeds"
    mkdir -p "$seeds"
    "$build/bin/fuzz_seeds" "$seeds"
    prefix="$build/findings/"
    ;;
  ics)
    cmake --build "$build" --target fuzz_ics
    corpus="$build/corpus-ics"
    seeds="$build/seeds-ics"
    mkdir -p "$seeds"
    cp tests/sync/fixtures/*.ics fuzz/seeds/ics/*.ics "$seeds/"
    prefix="$build/findings/ics-"
    ;;
  davxml)
    cmake --build "$build" --target fuzz_davxml
    corpus="$build/corpus-davxml"
    seeds=fuzz/seeds/davxml
    prefix="$build/findings/davxml-"
    ;;
esac
mkdir -p "$corpus"
export ASAN_OPTIONS="${ASAN_OPTIONS:-abort_on_error=1}"
export UBSAN_OPTIONS="${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}"
export TZ="${TZ:-UTC0}"
exec "$build/bin/fuzz_$target" -max_total_time="$seconds" -print_final_stats=1 -max_len=65536 \
  -timeout=20 -rss_limit_mb=4096 -dict="fuzz/$target.dict" -artifact_prefix="$prefix" \
  "$@" "$corpus" "$seeds"
