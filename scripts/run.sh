#!/usr/bin/env bash
# Installs what is missing, builds, and opens the bundled demo show in the
# editor. Without a display it exports the demo show to a video instead.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/build.sh
BIN=$PWD/${BUILD_DIR:-build}/bin
DEMO=$BIN/Demo/demo.aps
if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
  exec "$BIN/pvsm" "$DEMO"
fi
OUT=$BIN/Output/demo.avi
mkdir -p "$BIN/Output"
echo "No display: exporting the demo show to $OUT" >&2
"$BIN/pvsm-cli" export "$DEMO" "$OUT" --overwrite
echo "Done. Play it with any video player, for example: ffplay $OUT" >&2
echo "The editor needs a display; on a virtual one: xvfb-run -a $BIN/pvsm $DEMO" >&2
