#!/usr/bin/env bash
# Installs what is missing, builds, and opens the bundled demo show in the
# editor. Without a display it prints how to work with the demo from the CLI.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/build.sh
BIN=$PWD/${BUILD_DIR:-build}/bin
DEMO=$BIN/Demo/demo.aps
if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
  exec "$BIN/pvsm" "$DEMO"
fi
echo "No display: the editor needs one. The demo show is $DEMO" >&2
echo "Work with it from the command line:" >&2
echo "  $BIN/pvsm-cli project show $DEMO" >&2
echo "  $BIN/pvsm-cli project set $DEMO TimeInterval=6" >&2
echo "Or start the editor on a virtual display:" >&2
echo "  xvfb-run -a $BIN/pvsm $DEMO" >&2
"$BIN/pvsm-cli" project show "$DEMO" | head -n 20
