#!/usr/bin/env bash
# Renders the editor's windows on the demo project to PNG files under a
# virtual display: bash scripts/screenshots.sh OUTDIR
set -euo pipefail
cd "$(dirname "$0")/.."
OUT=${1:?usage: scripts/screenshots.sh OUTDIR}
BUILD_DIR=${BUILD_DIR:-build}
BIN="$BUILD_DIR/bin"
if [ ! -x "$BIN/pvsm-screenshots" ] || [ ! -f "$BIN/Demo/demo.aps" ]; then
  cmake --build "$BUILD_DIR" --target pvsm-screenshots demo
fi
mkdir -p "$OUT"
if command -v xvfb-run >/dev/null 2>&1; then
  xvfb-run -a -s "-screen 0 1920x1080x24" "$BIN/pvsm-screenshots" "$OUT" "$BIN/Demo/demo.aps"
else
  QT_QPA_PLATFORM=offscreen "$BIN/pvsm-screenshots" "$OUT" "$BIN/Demo/demo.aps"
fi
