#!/usr/bin/env bash
# Plays the demo show as built slideshows under a virtual display and takes
# screenshots of the player: the information window, the export dialog with
# a wrong and a right password, a slide with its caption, the controls, the
# start modes, a damaged copy and the demo project played directly.
#   bash scripts/player-screenshots.sh OUTDIR
# Needs xvfb-run, xdotool and imagemagick (scripts/setup.sh installs them).
set -euo pipefail
cd "$(dirname "$0")/.."
OUT=$(mkdir -p "${1:?usage: scripts/player-screenshots.sh OUTDIR}" && cd "$1" && pwd)
BUILD_DIR=${BUILD_DIR:-build}
BIN="$(cd "$BUILD_DIR" && pwd)/bin"
cmake --build "$BUILD_DIR" --target pvsm-player pvsm-cli player_bfq packages demo

if [ -z "${PVSM_IN_XVFB:-}" ]; then
  export PVSM_IN_XVFB=1
  exec xvfb-run -a -s "-screen 0 1920x1080x24" bash "$0" "$OUT"
fi

WORK="$OUT/work"
rm -rf "$WORK"
mkdir -p "$WORK/exported"
CLI="$BIN/pvsm-cli"
APS="$WORK/demo.aps"
cp "$BIN/Demo/demo.aps" "$APS"
"$CLI" project set "$APS" \
  "TxtSetting(2)=studio@example.org" "TxtSetting(3)=www.example.org" \
  "TxtSetting(4)=十二张图片，一首歌，一个歌词文件。
空格暂停，左右键换图片，M 静音，F 全屏，Esc 退出。" \
  "TxtSetting(5)=© 2026 图片幻灯工作室" \
  "LogoImage=$BIN/Demo/04-field.png" "EnableExport=true" "ExportPassword=demo" \
  "IgnoreMouseMove=true" >/dev/null 2>&1
build() { # NAME KEY=VALUE...
  local name=$1
  shift
  cp "$APS" "$WORK/$name.aps"
  if [ $# -gt 0 ]; then "$CLI" project set "$WORK/$name.aps" "$@" >/dev/null 2>&1; fi
  "$CLI" build "$WORK/$name.aps" "$WORK/$name" --overwrite --yes >/dev/null 2>&1
}
build information.exe ssDirectPlay=0
build fullscreen.exe ssDirectPlay=1
build window.exe ssDirectPlay=2

shot() { sleep "${2:-1}"; import -window root "$OUT/$1.png"; echo "$OUT/$1.png"; }
key() { xdotool key --clearmodifiers "$@"; }
finish() { # PID: the program must be gone by itself
  local pid=$1
  for _ in $(seq 20); do kill -0 "$pid" 2>/dev/null || return 0; sleep 0.25; done
  echo "still running; stopping it" >&2
  kill "$pid"
}

# Information window, export with a wrong and then the right password, then play.
"$WORK/information.exe" &
pid=$!
shot 01-information 3
key alt+e
shot 02-export-dialog
xdotool type --delay 50 "wrong"
key Return
shot 03-export-wrong-password
key ctrl+a
xdotool type --delay 50 "demo"
key Tab
key ctrl+a
xdotool type --delay 20 "$WORK/exported"
key Return
shot 04-export-done 3
key Return
sleep 1
key alt+p
shot 05-slide-with-caption 14
xdotool mousemove 900 500
sleep 0.3
xdotool mousemove 960 560
shot 06-controls 0.7
key space
shot 07-paused-controls 0.5
key space m Right
shot 08-after-next-and-mute 2
key Escape
shot 09-left-full-screen 2
key Escape
finish $pid
echo "exported: $(ls "$WORK/exported" | wc -l) files"

# Straight to full screen.
"$WORK/fullscreen.exe" &
pid=$!
shot 10-direct-full-screen 12
key f
shot 11-f-gives-a-window 2
key Escape
finish $pid

# Information window, then a window of 80 % of the screen.
"$WORK/window.exe" &
pid=$!
sleep 3
key alt+p
shot 12-window-mode 12
key Escape
finish $pid

# A damaged copy: the last 10 KiB are lost.
cp "$WORK/window.exe" "$WORK/damaged.exe"
truncate -s -10240 "$WORK/damaged.exe"
"$WORK/damaged.exe" &
pid=$!
shot 13-damaged-copy 3
key Return
finish $pid

# The demo project played directly.
"$BIN/pvsm-player" "$BIN/Demo/demo.aps" &
pid=$!
sleep 3
key alt+p
shot 14-project-played-directly 12
key Escape Escape
finish $pid
