#!/bin/sh
# Runs a command on an X server of its own with a window manager, as on an operator's desktop:
# windows stack, take the focus and get a title bar. Used by the window tests that drive the
# program with real key presses and clicks.
set -eu
for tool in xvfb-run openbox xdotool; do
  if ! command -v "$tool" >/dev/null; then
    echo "$tool is missing: run bash tools/install-deps.sh" >&2
    exit 1
  fi
done
exec xvfb-run -a -s "-screen 0 1024x768x24" sh -c '
  openbox --sm-disable >/dev/null 2>&1 &
  wm=$!
  sleep 1 # the window manager takes over the screen before the first window maps
  status=0
  QT_QPA_PLATFORM=xcb "$@" || status=$?
  kill "$wm" 2>/dev/null || true
  exit "$status"
' sh "$@"
