#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test.
#
#   bash scripts/test.sh              the ordinary build in build/
#   bash scripts/test.sh --sanitize   the same suite built with AddressSanitizer
#                                     and UndefinedBehaviorSanitizer, in
#                                     build-sanitize/ (any report fails the run)
set -euo pipefail
cd "$(dirname "$0")/.."
case "${1:-}" in
  "") ;;
  --sanitize)
    export BUILD_DIR=${BUILD_DIR:-build-sanitize}
    export CMAKE_ARGS="${CMAKE_ARGS:-} -DPVSM_SANITIZE=ON"
    # Leaks are reported by the libraries' own caches at exit (fontconfig, Qt's
    # plugins); they are not ours and would drown the real findings.
    export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=0:abort_on_error=1}
    export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
    ;;
  *) echo "usage: scripts/test.sh [--sanitize]" >&2; exit 2 ;;
esac
bash scripts/build.sh
BUILD_DIR=${BUILD_DIR:-build}
export QT_QPA_PLATFORM=offscreen
cd "$BUILD_DIR"
ctest -j"$(nproc)" --output-on-failure --timeout 900
