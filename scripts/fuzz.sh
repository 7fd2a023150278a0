#!/usr/bin/env bash
# Builds the interchange reader's fuzzer with clang (AddressSanitizer, UBSan) in its own
# build folder, writes the seed corpus with the program's own writers and fuzzes for the
# given number of seconds (default 600). The corpus grows in build-fuzz/corpus; a crash,
# a sanitizer report or a broken round trip leaves its input in build-fuzz/findings and
# makes the script fail. Needs the Debian packages clang and libclang-rt-dev.
# Usage: scripts/fuzz.sh [SECONDS] [extra libFuzzer options...]
set -euo pipefail
cd "$(dirname "$0")/.."
seconds="${1:-600}"
shift || true
build="${FUZZ_BUILD_DIR:-build-fuzz}"

launcher=()
if command -v ccache >/dev/null; then launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache); fi
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=clang++ \
  -DQUILLPAD_FUZZ=ON "${launcher[@]}" >/dev/null
cmake --build "$build" --target fuzz_interchange fuzz_seeds

mkdir -p "$build/corpus" "$build/seeds" "$build/findings"
"$build/bin/fuzz_seeds" "$build/seeds"
export ASAN_OPTIONS="${ASAN_OPTIONS:-abort_on_error=1}"
export UBSAN_OPTIONS="${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}"
export TZ="${TZ:-UTC0}"
exec "$build/bin/fuzz_interchange" -max_total_time="$seconds" -print_final_stats=1 -max_len=65536 \
  -timeout=20 -rss_limit_mb=4096 -dict=fuzz/interchange.dict -artifact_prefix="$build/findings/" \
  "$@" "$build/corpus" "$build/seeds"
