#!/usr/bin/env bash
# Installs what is missing, builds, and runs the whole test suite.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh
scripts/build.sh
cd "${BUILD_DIR:-build}"
# Tests that open real windows get a private X server; the rest run offscreen.
exec xvfb-run -a -s "-screen 0 1280x1024x24" ctest --output-on-failure -j"$(nproc)"
