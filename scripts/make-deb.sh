#!/usr/bin/env bash
# Builds the Debian package build/ambrel-quillpad_<version>_<arch>.deb (or in $BUILD_DIR)
# from the install rules with cpack, and shows what lintian says about it.
set -euo pipefail
cd "$(dirname "$0")/.."
# dpkg-shlibdeps (dpkg-dev) finds the Depends; cpack asks file what to strip.
scripts/deps.sh dpkg-dev file lintian
scripts/build.sh
build_dir="${BUILD_DIR:-build}"
rm -f "$build_dir"/ambrel-quillpad_*.deb
(cd "$build_dir" && cpack -G DEB)
deb=$(ls "$build_dir"/ambrel-quillpad_*.deb)
echo "Built $deb"
dpkg-deb --field "$deb" Package Version Architecture Depends Recommends
lintian --info "$deb" || true
