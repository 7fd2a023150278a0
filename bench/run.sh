#!/usr/bin/env bash
# Runs every benchmark program of a build at 10,000 and 100,000 tasks. Builds nothing.
# Usage: bench/run.sh <build-dir> [repetitions]
set -euo pipefail
if [[ $# -lt 1 || $# -gt 2 ]]; then
  echo "usage: $0 <build-dir> [repetitions]" >&2
  exit 2
fi
bin_dir="$1/bin"
repetitions="${2:-5}"
shopt -s nullglob
programs=("$bin_dir"/quillpad-bench-*)
if [[ ${#programs[@]} -eq 0 ]]; then
  echo "$0: no benchmark programs in $bin_dir (build them first)" >&2
  exit 1
fi
for program in "${programs[@]}"; do
  for tasks in 10000 100000; do
    "$program" "$tasks" "$repetitions"
    echo
  done
done
