#!/usr/bin/env bash
# Builds the Debian package pvsm_VERSION_ARCH.deb into build/packages/ and
# checks it with lintian (any finding of error level fails the run).
#
#   bash scripts/package.sh           build/ as scripts/build.sh leaves it
#   BUILD_DIR=dir bash scripts/package.sh
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/build.sh
BUILD_DIR=${BUILD_DIR:-build}
rm -f "$BUILD_DIR"/packages/pvsm_*.deb
(cd "$BUILD_DIR" && cpack -G DEB)
deb=$(ls "$BUILD_DIR"/packages/pvsm_*.deb)
lintian --fail-on error "$deb"
echo "$deb"
